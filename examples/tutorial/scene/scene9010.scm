; The start script (system script type 0): the engine runs set 0 of
; scenario 9010 first. It shows the title over the evening picture and
; waits: the confirm input (a click, Return, or the wheel turned toward the
; player) starts the story; a click on the load line, or F9, opens the load
; screen, from which a loaded story goes on. The story comes back here
; when it ends.
(a3:define-set (0 0)                                ; set 0, without local variables
  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)         ; background: picture 1, all of it, at once
  (a3:call-user-func 2053 0 1 1 280 180 255 1 0)    ; part 0 of parts layer A: :parts 1, shown, at (280, 180)
  (a3:call-user-func 2053 1 2 1 330 260 255 2 0)    ; part 1: :parts 2, shown, at (330, 260)
  (a3:call-user-func 2053 2 4 1 320 380 255 3 0)    ; part 2: :parts 4, the load line, at (320, 380)
  (a3:call-user-func 2053 3 5 1 0 0 255 4 0)        ; part 3: :parts 5, the touch area over it
  (a3:call-user-func 2061 3 2 10)                   ; a click on area 1 posts 10 + 1
  (a3:call-user-func 2070)                          ; clear fader 1 (the story ends in black)
  (a3:call-user-func 4002 2 0)                      ; no save screen here: there is no story to save
  (a3:call-user-func 4002 3 0)                      ; F9 is the title's own key here (below)
  (a3:label 1)                                      ; wait
  (a3:call-user-func 4000 8197 -1 0)                ; for the confirm input (1), a part's event (4) or a key (8192)
  (a3:eval (a3:idref-reflag))                       ; what came: 16 the confirm input, 11 the load line,
  (a3:switch (16 10) (11 20) (66017 20) (default 1))  ; 66017 F9 pressed (65536 + 4 x 120 + 1); else wait again
  (a3:label 20)                                     ; the load screen
  (a3:call-far 9002 1)                              ; sub 1 of scenario 9002: a load goes on from there
  (a3:goto 1)                                       ; back without a load: wait again
  (a3:label 10)                                     ; the story
  (a3:call-user-func 2050)                          ; remove the title's parts
  (a3:call-user-func 6002 1 0))                     ; leave the system script: scenario 1 begins
