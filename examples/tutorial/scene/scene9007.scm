; System script type 5: Space and the right button run it from the story
; (the "erasewin" command). Every system script the player can reach must
; exist, or the run ends; the tutorial has nothing to show here and goes
; straight back to the story.
(a3:define-set (0 0)                                ; set 0
  (a3:call-user-func 6002 -1 0))                    ; back to the story where it waited
