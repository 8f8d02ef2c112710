; System script type 2: closing the window runs it, as set 0 from the
; story and as sub 0 from a system script. It ends the game.
(a3:define-set (0 0)                                ; from the story
  (a3:call-user-func 6000))                         ; the run ends (exit code 0)
(a3:define-sub (0 0)                                ; from the title or the save screen
  (a3:call-user-func 6000))                         ; the same
