; The system screens the sample does not have yet (configuration, quick
; save and load, ...; see :flag-constants in game.scm): back to the story.
(a3:define-set (0 0)
  (a3:call-user-func 6002 -1 0))
