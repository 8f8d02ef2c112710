; The start script: text reveals at the middle speed (until the game has a
; settings screen), then the title screen over the evening backdrop: the
; logo, a caption, "Press any key", and a touch map whose lower-left area
; starts the story and whose circle at the lower right quits. A button lies
; over each of the two areas (a little larger, to cover the backdrop's
; lights), so that the player sees them and they light up under the
; pointer; a click on one posts what its area would (101 start, 102 quit).
; Any key starts too. The screen fades to black and the story begins.
(a3:define-set (0 0)
  (a3:call-user-func 4111 256 2)
  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)
  (a3:call-user-func 2053 0 11 1 240 110 255 1 0)
  (a3:call-user-func 2053 1 40 1 300 250 255 2 0)
  (a3:call-user-func 2053 2 41 1 320 520 255 3 0)
  (a3:call-user-func 2053 3 50 1 0 0 255 4 0)
  (a3:call-user-func 2061 3 2 100)
  ; The buttons and their captions, which the pointer passes through.
  (a3:call-user-func 2053 4 38 1 36 396 255 5 0)
  (a3:call-user-func 2061 4 2 101)
  (a3:call-user-func 2053 5 39 1 556 416 255 5 0)
  (a3:call-user-func 2061 5 2 102)
  (a3:call-user-func 2053 6 42 1 112 410 255 6 0)
  (a3:call-user-func 2053 7 43 1 580 448 255 6 0)
  (a3:label 0)
  (a3:call-user-func 4000 8196 -1 0)
  (a3:eval (a3:idref-reflag))
  (a3:switch (102 20) (103 0) (104 0) (105 0) (default 10))
  (a3:label 10)
  (a3:call-user-func 2071 0 0 0 255 500 1)
  (a3:call-user-func 2050)
  (a3:call-user-func 6002 1 0)
  (a3:label 20)
  (a3:call-user-func 6000))
