; After the story ends: it starts over.
(a3:define-set (0 0)
  (a3:call-user-func 6002 1 0))
