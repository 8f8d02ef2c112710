; The backlog (system screen 8, the "backlog" key or the window's button):
; the message log's last pages on the second parts layer over a dark panel,
; the story window hidden meanwhile. The wheel scrolls by 60 pixels both
; ways; a click or a key press goes back to the story. The wait takes key
; and mouse events only, not the confirm input (a click, Return or the
; wheel turned toward the player), so a turn of the wheel never closes the
; screen and never reaches the story. Words: 0 the scroll, 1 the farthest
; scroll, 2 the event, 3 the wheel step, 4 the part being made.
;
; The page view (4322) draws no more entries than the part count it is
; given, so that count must cover the fullest view: the 440-pixel view
; meets at most 23 entries of the shortest kind (a separator, 20 pixels),
; and it gets 24 text parts, 1 to 24. The voice icons would be parts 31 to
; 54, clear of them; the sample makes none, so a voiced page shows no icon.
(a3:define-set (0 0)
  (a3:call-user-func 2021 0)
  (a3:call-user-func 2123 0 60 1 0 0 255 0 0)
  (a3:eval-noeffect (a3:assign-word 4 1))
  (a3:label 6)
  (a3:call-user-func 2123 (a3:idref-word 4) 61 1 0 0 255 1 0)
  (a3:eval-noeffect (a3:assign-word 4 (a3:bop-add (a3:idref-word 4) 1)))
  (a3:eval (a3:bop-less? (a3:idref-word 4) 25))
  (a3:if 6)
  (a3:call-user-func 4316)
  (a3:eval-noeffect (a3:assign-word 1 (a3:bop-sub (a3:idref-reflag) 440)))
  (a3:eval (a3:bop-less? (a3:idref-word 1) 0))
  (a3:ifnot 1)
  (a3:eval-noeffect (a3:assign-word 1 0))
  (a3:label 1)
  (a3:eval-noeffect (a3:assign-word 0 (a3:idref-word 1)))
  (a3:label 2)
  (a3:call-user-func 4322 (a3:idref-word 0) 440 1 31 24 60 80 30 80)
  ; Key events (8192) and mouse events (16384).
  (a3:call-user-func 4000 24576 -1 0)
  (a3:eval-noeffect (a3:assign-word 2 (a3:idref-reflag)))
  ; A key: 65536 + 4 x its code, plus 1 for a press. A press goes back.
  (a3:eval (a3:bop-less? (a3:idref-word 2) 131072))
  (a3:ifnot 3)
  (a3:eval (a3:bop-bit-and (a3:idref-word 2) 1))
  (a3:if 9)
  (a3:goto 2)
  ; A mouse event: ((wheel step + 612) x 16 + button) x 16 + action. The
  ; wheel scrolls; a button press (action 2) goes back; anything else waits
  ; on.
  (a3:label 3)
  (a3:eval-noeffect (a3:assign-word 3 (a3:bop-sub (a3:bop-shift-right (a3:idref-word 2) 8) 612)))
  (a3:eval (a3:bop-less? 0 (a3:idref-word 3)))
  (a3:if 4)
  (a3:eval (a3:bop-less? (a3:idref-word 3) 0))
  (a3:if 5)
  (a3:eval (a3:bop-equal? (a3:bop-bit-and (a3:idref-word 2) 15) 2))
  (a3:if 9)
  (a3:goto 2)
  ; Turned away from the player: back towards the first page.
  (a3:label 4)
  (a3:eval-noeffect (a3:assign-word 0 (a3:bop-sub (a3:idref-word 0) 60)))
  (a3:eval (a3:bop-less? (a3:idref-word 0) 0))
  (a3:ifnot 2)
  (a3:eval-noeffect (a3:assign-word 0 0))
  (a3:goto 2)
  ; Turned toward the player: on towards the newest page.
  (a3:label 5)
  (a3:eval-noeffect (a3:assign-word 0 (a3:bop-add (a3:idref-word 0) 60)))
  (a3:eval (a3:bop-less? (a3:idref-word 1) (a3:idref-word 0)))
  (a3:ifnot 2)
  (a3:eval-noeffect (a3:assign-word 0 (a3:idref-word 1)))
  (a3:goto 2)
  (a3:label 9)
  (a3:call-user-func 2120)
  (a3:call-user-func 2021 1)
  (a3:call-user-func 6002 -1 0))
