; The load screen, system script type 7 (F9 in :key). Sub 1 is the screen,
; which the title calls too: slot 1 on parts layer B; a click loads the save
; in it, and the story goes on from there; a key, or a click while the slot
; is empty, goes back to whatever called the screen. Set 0 is what F9 runs
; in the story: the screen over the waiting story, then back to it.
(a3:define-set (0 0)                                ; set 0: F9 in the story
  (a3:call-user-func 4002 3 0)                      ; F9 let go does not open a second screen over this one
  (a3:call-user-func 2021 0)                        ; hide the story window
  (a3:call-far 9002 1)                              ; the screen (sub 1 below)
  (a3:call-user-func 2021 1)                        ; back without a load: show the story window again
  (a3:call-user-func 6002 -1 0))                    ; and go back to the story where it waited

(a3:define-sub (1 0)                                ; sub 1: the screen
  (a3:call-user-func 4200 1 900 901 900)            ; slot 1: its comment into string 900 (answers 1 when it holds a save)
  (a3:eval-noeffect (a3:assign-word 903 (a3:idref-reflag)))   ; word 903: 1 when there is a save to load
  (a3:eval (a3:bop-equal? (a3:idref-word 903) 1))   ; a save in slot 1?
  (a3:if 1)                                         ; yes: keep its comment
  (a3:call-user-func 4100 900 "(empty)")            ; no: string 900 := "(empty)"
  (a3:label 1)                                      ; either way
  (a3:call-user-func 5003 901 "Slot 1: " 900 -1 -1 -1)      ; string 901 := "Slot 1: " and string 900
  (a3:call-user-func 2123 0 3 1 40 40 255 0 0)      ; part 0 of parts layer B: :parts 3 at (40, 40)
  (a3:call-user-func 2133 0 901)                    ; its text: string 901
  (a3:call-user-func 2123 1 3 1 40 80 255 0 0)      ; part 1: :parts 3 at (40, 80)
  (a3:call-user-func 2133 1 "Click: load this save.   A key: back.")  ; its text
  (a3:label 2)                                      ; wait here
  (a3:call-user-func 4000 24576 -1 0)               ; for a key event (8192) or a mouse event (16384)
  (a3:eval-noeffect (a3:assign-word 902 (a3:idref-reflag)))   ; word 902: the event's value
  (a3:eval (a3:bop-bit-and (a3:idref-word 902) 1))  ; odd: a key pressed
  (a3:if 9)                                         ; back without loading
  (a3:eval (a3:bop-not-equal? (a3:bop-bit-and (a3:idref-word 902) 15) 2))  ; not a button press (action 2)
  (a3:if 2)                                         ; wait again
  (a3:eval (a3:bop-equal? (a3:idref-word 903) 1))   ; a save to load?
  (a3:ifnot 9)                                      ; no: back
  (a3:call-user-func 4202 1)                        ; load slot 1 (answers 1 when loaded)
  (a3:eval (a3:bop-equal? (a3:idref-reflag) 1))     ; loaded?
  (a3:ifnot 9)                                      ; no: back
  (a3:call-user-func 2120)                          ; remove the screen's parts
  (a3:call-user-func 6002 -1 0)                     ; the loaded story goes on, from the title as from the story
  (a3:label 9)                                      ; back
  (a3:call-user-func 2120))                         ; remove the screen's parts; the sub returns to its caller
