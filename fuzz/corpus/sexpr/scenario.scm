; a scenario
(a3:define-set 1
  (a3:label 0)
  (a3:send-string "hello" #t #f)
  (a3:set (a3:var word 3) (+ 0x10 -12 +7))
  (a3:call-user-func 4000 '(1 2) 'sym #\A #u3042)
  (a3:jump 0))
