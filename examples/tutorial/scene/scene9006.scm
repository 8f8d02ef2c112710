; The save screen, system script type 6 (F5 in :key). The story waits
; behind it. One slot: a click saves the story in slot 1, a key press goes
; back without saving.
(a3:define-set (0 0)                                ; set 0
  (a3:call-user-func 2021 0)                        ; hide the story window
  (a3:call-user-func 4200 1 900 901 900)            ; slot 1: its comment into string 900 (answers 1 when it holds a save)
  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))     ; a save in slot 1?
  (a3:if 1)                                         ; yes: keep its comment
  (a3:call-user-func 4100 900 "(empty)")            ; no: string 900 := "(empty)"
  (a3:label 1)                                      ; either way
  (a3:call-user-func 5003 901 "Slot 1: " 900 -1 -1 -1)      ; string 901 := "Slot 1: " and string 900
  (a3:call-user-func 2123 0 3 1 40 40 255 0 0)      ; part 0 of parts layer B: :parts 3 at (40, 40)
  (a3:call-user-func 2133 0 901)                    ; its text: string 901
  (a3:call-user-func 2123 1 3 1 40 80 255 0 0)      ; part 1: :parts 3 at (40, 80)
  (a3:call-user-func 2133 1 "Click: save here.   A key: back.")  ; its text
  (a3:label 2)                                      ; wait here
  (a3:call-user-func 4000 24576 -1 0)               ; for a key event (8192) or a mouse event (16384)
  (a3:eval-noeffect (a3:assign-word 902 (a3:idref-reflag)))   ; word 902: the event's value
  (a3:eval (a3:bop-bit-and (a3:idref-word 902) 1))  ; odd: a key pressed
  (a3:if 9)                                         ; back without saving
  (a3:eval (a3:bop-not-equal? (a3:bop-bit-and (a3:idref-word 902) 15) 2))  ; not a button press (action 2)
  (a3:if 2)                                         ; wait again
  (a3:call-user-func 5100)                          ; the clock (seconds since 1970) into reflag
  (a3:call-user-func 4201 1 1 (a3:idref-reflag) 1)  ; save slot 1: scene 1, that time, string 1 as comment
  (a3:label 9)                                      ; leaving
  (a3:call-user-func 2120)                          ; remove the screen's parts
  (a3:call-user-func 2021 1)                        ; show the story window again
  (a3:call-user-func 6002 -1 0))                    ; back to the story where it waited
