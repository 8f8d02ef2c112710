; The start script: text reveals at the middle speed, as in the sample
; (40 ms a character), and the story begins at once.
(a3:define-set (0 0)
  (a3:call-user-func 4111 256 2)
  (a3:call-user-func 6002 1 0))
