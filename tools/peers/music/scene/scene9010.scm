; The start script: music 1 looping from its start to its end on channel
; 0, then a wait of ten minutes.
(a3:define-set (0 0)
  (a3:call-user-func 3003 0 1 0 0 1 0 0 0)
  (a3:call-user-func 4000 1 600000 0)
  (a3:call-user-func 6000))
