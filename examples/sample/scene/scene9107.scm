; The load screen (system screen 7: F9, or the menu's load button): a saved
; slot picked (a click on it, or Up and Down to light it and Return) loads
; it and the story goes on from there; an empty slot is passed over; any
; other key goes back to the story as it was.
(a3:define-set (0 0)
  (a3:call-user-func 4100 905 "Load: click a slot or Up/Down, Return (other keys: back)")
  (a3:call-far 9105 1)
  (a3:label 1)
  (a3:call-far 9105 2)
  (a3:eval (a3:bop-equal? (a3:idref-word 904) 0))
  (a3:if 9)
  (a3:call-user-func 4202 (a3:idref-word 904))
  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))
  (a3:ifnot 1)
  (a3:label 9)
  (a3:call-far 9105 3)
  (a3:call-user-func 6002 -1 0))
