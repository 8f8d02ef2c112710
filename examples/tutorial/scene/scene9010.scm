; The start script (system script type 0): the engine runs set 0 of
; scenario 9010 first. It shows the title over the evening picture, waits
; for the confirm input (a click, Return, or the wheel turned toward the
; player) and starts the story. The story comes back here when it ends.
(a3:define-set (0 0)                                ; set 0, without local variables
  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)         ; background: picture 1, all of it, at once
  (a3:call-user-func 2053 0 1 1 280 180 255 1 0)    ; part 0 of parts layer A: :parts 1, shown, at (280, 180)
  (a3:call-user-func 2053 1 2 1 330 260 255 2 0)    ; part 1: :parts 2, shown, at (330, 260)
  (a3:call-user-func 2070)                          ; clear fader 1 (the story ends in black)
  (a3:call-user-func 4000 1 -1 0)                   ; wait for the confirm input, without time-out
  (a3:call-user-func 2050)                          ; remove the title's parts
  (a3:call-user-func 6002 1 0))                     ; leave the system script: scenario 1 begins
