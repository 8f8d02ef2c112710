; System script type 1: the engine runs it when the story's scenario
; ends without an a3:jump. The tutorial goes back to its title.
(a3:define-set (0 0)                                ; set 0
  (a3:call-user-func 6001 9010))                    ; run the start script again
