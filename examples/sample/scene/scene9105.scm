; The slot list of the save and load screens (system screens 6 and 7),
; called far from both. Sub 1 shows it on the second parts layer over a
; dark panel, the story window hidden: the heading in string 905, then one
; line per slot 1 to 4 with the title and the time of its save. Sub 2 waits
; for a slot (word 904 := the slot), picked by a click on its row or with
; the keyboard: Up and Down light a row in gold (word 907, 0 for none) and
; Return picks it. Any other key pressed goes back (word 904 := 0); the
; release of the key that opened the screen is passed over. Sub 3 takes the
; screen away. Words 900-908 and strings 900-905 are the screens' own.
(a3:define-sub (1 0)
  (a3:call-user-func 2021 0)
  (a3:call-user-func 2123 0 60 1 0 0 255 0 0)
  (a3:call-user-func 2123 1 61 1 60 40 255 1 0)
  (a3:call-user-func 2133 1 905)
  (a3:call-user-func 2123 2 62 1 0 0 255 2 0)
  (a3:call-user-func 2131 2 2 200)
  (a3:eval-noeffect (a3:assign-word 907 0))
  (a3:eval-noeffect (a3:assign-word 900 1))
  (a3:label 1)
  (a3:eval-noeffect (a3:assign-word 901 (a3:bop-add 100 (a3:bop-mul (a3:idref-word 900) 64))))
  (a3:call-user-func 2123 (a3:bop-add 10 (a3:idref-word 900)) 63 1 120 (a3:idref-word 901) 255 3 0)
  (a3:call-user-func 5004 901 (a3:idref-word 900) 0 0)
  (a3:call-user-func 4200 (a3:idref-word 900) 902 903 903)
  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))
  (a3:if 2)
  (a3:call-user-func 5003 900 "Slot " 901 ":  (empty)" -1 -1)
  (a3:goto 3)
  (a3:label 2)
  (a3:call-user-func 5005 902 (a3:idref-word 903) 1)
  (a3:call-user-func 5003 900 "Slot " 901 ":  " 903 "   ")
  (a3:call-user-func 5003 900 900 902 -1 -1 -1)
  (a3:label 3)
  (a3:call-user-func 2133 (a3:bop-add 10 (a3:idref-word 900)) 900)
  (a3:eval-noeffect (a3:assign-word 900 (a3:bop-add (a3:idref-word 900) 1)))
  (a3:eval (a3:bop-less? (a3:idref-word 900) 5))
  (a3:if 1))

(a3:define-sub (2 0)
  (a3:label 1)
  (a3:call-user-func 4000 8196 -1 0)
  (a3:eval-noeffect (a3:assign-word 906 (a3:idref-reflag)))
  (a3:eval-noeffect (a3:assign-word 904 (a3:bop-sub (a3:idref-word 906) 200)))
  (a3:eval (a3:bop-logical-and (a3:bop-great? (a3:idref-word 904) 0) (a3:bop-less? (a3:idref-word 904) 5)))
  (a3:if 9)
  ; Key values are 65536 + 4 x the key code, plus 1 for a press: Up (38),
  ; Down (40) and Return (13) pressed.
  (a3:eval (a3:idref-word 906))
  (a3:switch (65689 2) (65697 3) (65589 4) (default 5))
  ; Up: the row above (from the first or none, the last).
  (a3:label 2)
  (a3:eval-noeffect (a3:assign-word 908 (a3:three-op (a3:bop-less? (a3:idref-word 907) 2) 4
                                                     (a3:bop-sub (a3:idref-word 907) 1))))
  (a3:goto 6)
  ; Down: the row below (from the last or none, the first).
  (a3:label 3)
  (a3:eval-noeffect (a3:assign-word 908 (a3:bop-add (a3:bop-mod (a3:idref-word 907) 4) 1)))
  (a3:goto 6)
  ; Return: the lit row; while none is lit, nothing.
  (a3:label 4)
  (a3:eval-noeffect (a3:assign-word 904 (a3:idref-word 907)))
  (a3:eval (a3:bop-great? (a3:idref-word 904) 0))
  (a3:if 9)
  (a3:goto 1)
  ; Any other key pressed: back. Releases: wait on.
  (a3:label 5)
  (a3:eval (a3:bop-logical-and (a3:bop-great-equal? (a3:idref-word 906) 65536)
                               (a3:bop-bit-and (a3:idref-word 906) 1)))
  (a3:ifnot 1)
  (a3:eval-noeffect (a3:assign-word 904 0))
  (a3:goto 9)
  ; The lit row moves from row 907 to row 908: its line back to the
  ; lines' own colour, the new one in gold (colour-table entry 2).
  (a3:label 6)
  (a3:call-user-func 2134 (a3:bop-add 10 (a3:idref-word 907)) 0 -1 230 230 240 255)
  (a3:eval-noeffect (a3:assign-word 907 (a3:idref-word 908)))
  (a3:call-user-func 2134 (a3:bop-add 10 (a3:idref-word 907)) 0 2 0 0 0 255)
  (a3:goto 1)
  (a3:label 9))

(a3:define-sub (3 0)
  (a3:call-user-func 2120)
  (a3:call-user-func 2021 1))
