; The save screen (system screen 6: F5, or the menu's save button): a slot
; picked (a click on it, or Up and Down to light it and Return) saves the
; story there, with the part's number as the scene number, its title as the
; comment and the clock as the save time, and the story goes on; any other
; key goes back without saving.
(a3:define-set (0 0)
  (a3:call-user-func 4100 905 "Save: click a slot or Up/Down, Return (other keys: back)")
  (a3:call-far 9105 1)
  (a3:call-far 9105 2)
  (a3:eval (a3:bop-equal? (a3:idref-word 904) 0))
  (a3:if 9)
  (a3:call-user-func 5100)
  (a3:call-user-func 4201 (a3:idref-word 904) (a3:idref-word 90) (a3:idref-reflag) 90)
  (a3:label 9)
  (a3:call-far 9105 3)
  (a3:call-user-func 6002 -1 0))
