; The start script: the game begins with story scenario 1.
(a3:define-set (0 0)
  (a3:call-user-func 6002 1 0))
