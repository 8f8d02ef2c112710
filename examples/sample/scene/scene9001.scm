; Closing the window: the game ends. The story enters it as set 0, a system
; screen as sub 0.
(a3:define-set (0 0)
  (a3:call-user-func 6000))
(a3:define-sub (0 0)
  (a3:call-user-func 6000))
