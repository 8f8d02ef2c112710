; The start script: text reveals at the middle speed (until the game has a
; settings screen), then the game begins with story scenario 1.
(a3:define-set (0 0)
  (a3:call-user-func 4111 256 2)
  (a3:call-user-func 6002 1 0))
