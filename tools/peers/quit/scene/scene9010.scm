; The start script: the end of the run.
(a3:define-set (0 0)
  (a3:call-user-func 6000))
