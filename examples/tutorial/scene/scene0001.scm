; The story, scenario 1. Set 0 runs when the title leaves system mode.
(a3:define-set (0 0)
  (a3:call-user-func 4100 1 "By the river")         ; string variable 1: the save screen's comment
  (a3:call-user-func 2000 1 -1 0 0 0 10 800 1)      ; picture 1, cross-faded (10) in 800 ms; a click ends it
  (a3:call-user-func 3003 0 1 0 0 1 0 0 0)          ; music 1 on channel 0 from 0 ms, looped from frame 0 to its end
  (a3:call-user-func 2020 0)                        ; message window 0
  (a3:call-user-func 2021 1)                        ; shown
  (a3:send-string "Evening falls over the river." 1)                  ; line 1 appears
  (a3:send-string wait-e 1)                         ; and waits for a click
  (a3:call-user-func 2010 1 1 1622 0 0 1024 1024 -1 0 0 0 255 1 10 500 1)  ; cell 1: character 1 at its own size, centred
                                                                           ; on the bottom edge, cross-faded in 500 ms
  (a3:send-string "$2Aki$N looks up. #R'Will it be fine tomorrow?'" 2)    ; "Aki" in colour 2, a line break
  (a3:send-string wait-e 2)                         ; a click
  (a3:send-string clear)                            ; the page goes into the message log
  (a3:send-string "Paper lanterns, &RA“”âÄ&RS‚Æ‚¤‚ë‚¤&RT, drift past." 3)  ; a word with its reading above it
  (a3:send-string wait-e 3)                         ; a click
  (a3:send-string clear)                            ; next page
  (a3:call-user-func 2031 3 "Follow the lanterns" "Go home" "" "" "" "" "" ""
                     0 0 0 0 0 0 0 0 0 0)           ; choices 0 and 1 (mask 3); the answer lands in reflag
  (a3:eval (a3:idref-reflag))                       ; the answer becomes the result
  (a3:switch (0 10) (default 20))                   ; 0 goes to label 10, anything else to 20
  (a3:label 10)                                     ; "Follow the lanterns"
  (a3:send-string "Following them, you reach the old bridge." 4)      ; line 4
  (a3:send-string wait-e 4)                         ; a click
  (a3:goto 30)                                      ; on to label 30
  (a3:label 20)                                     ; "Go home"
  (a3:send-string "You walk home under the first stars." 5)           ; line 5
  (a3:send-string wait-e 5)                         ; a click
  (a3:label 30)                                     ; both ways meet here
  (a3:send-string clear)                            ; next page
  (a3:call-user-func 2000 2 -1 0 0 0 10 1000 1)     ; the morning: picture 2, cross-faded in one second
  (a3:send-string "Morning comes. The festival begins today." 6)      ; line 6
  (a3:send-string wait-e 6)                         ; a click
  (a3:send-string clear)                            ; the last page goes into the log
  (a3:call-user-func 2021 0)                        ; hide the window (it lies over the faders)
  (a3:call-user-func 3001 0 1000 0)                 ; the music fades out over a second
  (a3:call-user-func 2071 0 0 0 255 1000 1)         ; fader 1 to black in a second
  (a3:call-user-func 2015))                         ; remove every cell; the set ends here
