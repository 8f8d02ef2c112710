; Story, the lantern chapter, drawn on script layers: 1 the backdrop, 2 a
; floating lantern, 3 a boat, 4-6 the pinwheels of a stall, 7 the stall's
; touch areas, 8 the keepsake picture. Out of part one's black the evening
; river shows with the lantern and the boat; the lantern drifts down the
; river, then the two are linked into one group that fades into the mist,
; half way first (the moment is kept in storage file 1), then out. A rule
; wipe from the left brings the morning, three pinwheels turn at a stall,
; and clicking one of them (the MOUSE layer posts event 100 + its area)
; picks the next line; the touch areas go with the pick. The evening's
; keepsake comes up in a corner, the screen goes black, the layers are
; released, a short movie plays (a click skips it) and part two follows.
(a3:define-set (0 0)
  (a3:eval-noeffect (a3:assign-word 90 3))
  (a3:call-user-func 4100 90 "The lantern chapter")
  (a3:call-user-func 2015)
  ; The layers and their pictures: backdrops 1 and 2, the rule ramp, the
  ; two sprites.
  (a3:call-user-func 1000 1 1 0 0)
  (a3:call-user-func 1000 2 1 0 0)
  (a3:call-user-func 1000 3 1 0 0)
  (a3:call-user-func 1008 1 1 1 1 1)
  (a3:call-user-func 1008 1 2 2 1 1)
  (a3:call-user-func 1008 1 9 "rule/ramp_lr.png" 1 1)
  (a3:call-user-func 1008 2 20 "sprite/lantern.png" 1 1)
  (a3:call-user-func 1008 3 30 "sprite/boat.png" 1 1)
  (a3:call-user-func 1020 1 1 1)
  (a3:call-user-func 1020 1 2 20)
  (a3:call-user-func 1020 1 3 30)
  ; The lantern on the water at the middle, the boat by the left bank
  ; (motion 0: placed at once; only the position is taken).
  (a3:call-user-func 1006 1 1 2 0 0 0 0 2 80 300 300 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)
  (a3:call-user-func 1006 1 1 3 0 0 0 0 2 80 80 352 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)
  (a3:call-user-func 1001 1 1)
  (a3:call-user-func 1001 1 2)
  (a3:call-user-func 1001 1 3)
  (a3:call-user-func 2071 0 0 0 0 500 1)
  (a3:send-string "祭りの夜、川には灯籠がひとつ浮かんでいた。" 11)
  (a3:send-string wait-e 11)
  (a3:send-string clear)
  ; The lantern drifts to the right in two seconds.
  (a3:call-user-func 1006 1 1 2 201 2000 1 0 2 80 620 300 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)
  (a3:send-string "灯籠はゆっくりと流れ、小舟のそばを離れていく。" 12)
  (a3:send-string wait-e 12)
  (a3:send-string clear)
  ; Lantern and boat in one group; the group's colour (update bit 0x800)
  ; fades them together, half way, and the moment is captured.
  (a3:call-user-func 1021 1 2 1 3)
  (a3:call-user-func 1006 2 1 2 201 1000 1 0 2048 80 0 0 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 128)
  (a3:call-user-func 1017 1 -1 1 0 0 0 0)
  (a3:send-string "やがて川霧が、灯りをやわらかく包んでいった。" 13)
  (a3:send-string wait-e 13)
  (a3:send-string clear)
  (a3:call-user-func 1006 2 1 2 201 800 1 0 2048 80 0 0 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 0)
  (a3:call-user-func 1018 2 3)
  ; Morning wipes in from the left through the rule ramp.
  (a3:call-user-func 1020 1 1 2)
  (a3:call-user-func 1007 1 1 12 2000 1 0 9 0 0 0 0 0 0 0 0)
  (a3:send-string "夜が明けると、河原には屋台が並んでいた。" 14)
  (a3:send-string wait-e 14)
  (a3:send-string clear)
  ; Three pinwheels (stream animation 1) over the stall's three areas,
  ; cross-faded in over the whole screen.
  (a3:call-user-func 1000 4 1 0 0)
  (a3:call-user-func 1000 5 1 0 0)
  (a3:call-user-func 1000 6 1 0 0)
  (a3:call-user-func 1008 4 40 1 2 1)
  (a3:call-user-func 1008 5 41 1 2 1)
  (a3:call-user-func 1008 6 42 1 2 1)
  (a3:call-user-func 1020 1 4 40)
  (a3:call-user-func 1020 1 5 41)
  (a3:call-user-func 1020 1 6 42)
  (a3:call-user-func 1006 1 1 4 0 0 0 0 2 80 112 412 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)
  (a3:call-user-func 1006 1 1 5 0 0 0 0 2 80 352 412 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)
  (a3:call-user-func 1006 1 1 6 0 0 0 0 2 80 592 412 1024 1024 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)
  (a3:call-user-func 1007 1 -1 10 500 1 0 0 0 0 0 0 0 0 0 0)
  ; The stall's touch areas (":parts" 70): a click on one posts 100 plus
  ; the area, 111 to 113 from left to right. The question goes in the
  ; narrow window, clear of the stall.
  (a3:call-user-func 1000 7 3 0 0)
  (a3:call-user-func 1040 1 7 70)
  (a3:call-user-func 1041 1 7 2 100)
  (a3:call-user-func 2020 1)
  (a3:send-string "屋台の風車がくるくる回っている。どれをもらおう？" 15)
  ; A press let go off every area posts 100 alone: the question stays.
  (a3:label 5)
  (a3:call-user-func 4000 65536 -1 0)
  (a3:eval (a3:idref-reflag))
  (a3:switch (111 10) (112 20) (113 30) (default 5))
  ; Picked: layer 7 goes, or its areas would keep every click over them,
  ; also those on the story window's text drawn over the stall.
  (a3:label 10)
  (a3:call-user-func 1018 7 7)
  (a3:send-string clear)
  (a3:call-user-func 2020 0)
  (a3:send-string "左の風車を手に取ると、川風を受けて勢いよく回った。" 16)
  (a3:send-string wait-e 16)
  (a3:goto 40)
  (a3:label 20)
  (a3:call-user-func 1018 7 7)
  (a3:send-string clear)
  (a3:call-user-func 2020 0)
  (a3:send-string "まん中の風車は、灯籠と同じ色をしていた。" 17)
  (a3:send-string wait-e 17)
  (a3:goto 40)
  (a3:label 30)
  (a3:call-user-func 1018 7 7)
  (a3:send-string clear)
  (a3:call-user-func 2020 0)
  (a3:send-string "右の風車を選ぶと、屋台の主人がにっこり笑った。" 18)
  (a3:send-string wait-e 18)
  (a3:label 40)
  (a3:send-string clear)
  ; The keepsake: the evening's capture, read back from storage file 1
  ; (numsel 2), at a quarter of its size in the upper right corner.
  (a3:call-user-func 1000 8 1 0 0)
  (a3:call-user-func 1008 8 80 1 1 2)
  (a3:call-user-func 1020 1 8 80)
  (a3:call-user-func 1006 1 1 8 0 0 0 0 6 80 580 20 256 256 -1 0 0 0 0 80 0 0 1024 1024 -1 0 0 0 255 255 255 255)
  (a3:call-user-func 1007 1 8 10 500 1 0 0 0 0 0 0 0 0 0 0)
  (a3:send-string "ゆうべの灯籠の光が、まだ目に残っている。" 19)
  (a3:send-string wait-e 19)
  (a3:send-string clear)
  (a3:call-user-func 2071 0 0 0 255 500 1)
  (a3:call-user-func 1015)
  ; The chapter's closing movie over the black, with its own sound; a click
  ; (or Return) skips it.
  (a3:call-user-func 2090 "movie/opening.mpg" 1)
  (a3:jump 2))
