; Story, part one: three clicks (or Return) lead on to part two.
; word 0 counts the clicks of this part.
(a3:define-set (0 0)
  (a3:eval-noeffect (a3:assign-word 0 0))
  (a3:label 0)
  (a3:call-user-func 4000 1 -1 0)
  (a3:eval-noeffect (a3:assign-word 0 (a3:bop-add (a3:idref-word 0) 1)))
  (a3:eval (a3:bop-less? (a3:idref-word 0) 3))
  (a3:if 0)
  (a3:jump 2))
