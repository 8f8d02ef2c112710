; Story, part one: the evening river with both characters fades in from the
; title's black, and the story window (message window 0) shows the first
; pages. Each text waits for a click (or Return) after it is revealed;
; "clear" turns the page and puts it into the message log. Then the morning
; cross-fades in with a flash, the second character slides in, and a choice
; picks the next page; the screen fades to black before the lantern
; chapter (scenario 3). Music plays from the fade-in and fades out with the
; screen; the first line has a voice and the flash a chime.
(a3:define-set (0 0)
  ; What the save screen shows of this part: its number (word 90) and
  ; its title (string 90).
  (a3:eval-noeffect (a3:assign-word 90 1))
  (a3:call-user-func 4100 90 "Part one: the evening river")
  ; The story's own screen, which a save keeps: the menu on the right edge
  ; (it slides in when the pointer reaches the edge), and black to fade in from.
  (a3:call-user-func 2040 0)
  (a3:call-user-func 2042 1)
  (a3:call-user-func 2043 1 0)
  (a3:call-user-func 2071 0 0 0 255 0 0)
  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)
  (a3:call-user-func 2010 1 1 1028 40 0 240 420 -1 0 0 0 255 1 0 0 0)
  (a3:call-user-func 2010 2 2 1285 -40 0 240 420 -1 0 0 0 255 2 0 0 0)
  (a3:call-user-func 2071 0 0 0 0 500 1)
  ; The evening's music loops from its phrase (the file's loop points).
  (a3:call-user-func 3003 0 1 0 0 0 0 0 0)
  (a3:call-user-func 2020 0)
  (a3:call-user-func 2021 1)
  (a3:call-user-func 3020 1 1)
  (a3:send-string "夜の川辺に、提灯の灯がひとつ、またひとつと流れていく。#R祭りの前の晩は、いつもこうして静かに始まる。" 1)
  (a3:send-string wait-e 1)
  (a3:send-string "「明日は晴れるかな」#R$2妹$Nが空を見上げて、小さくつぶやいた。" 2)
  (a3:send-string wait-w 2)
  (a3:send-string clear)
  (a3:send-string "&RA灯籠&RSとうろう&RTの光が、黒い水面にゆらゆらと揺れている。" 3)
  (a3:send-string wait-e 3)
  (a3:send-string clear)
  (a3:call-user-func 2014 2)
  (a3:call-user-func 2000 2 -1 0 0 0 10 1000 1)
  (a3:call-user-func 3010 0 1)
  (a3:call-user-func 2001 100 400 1 255 255 255 0)
  (a3:call-user-func 2010 2 2 1285 -40 0 240 420 -1 0 0 0 255 2 20 600 1 6 1 0 300)
  (a3:send-string "翌朝、川辺はすっかり祭りの支度に包まれていた。" 6)
  (a3:send-string wait-e 6)
  (a3:send-string clear)
  (a3:call-user-func 2031 3 "川辺へ行く" "神社へ行く" "" "" "" "" "" "" 0 0 0 0 0 0 0 0 0 0)
  (a3:eval (a3:idref-reflag))
  (a3:switch (0 10) (default 20))
  (a3:label 10)
  (a3:send-string "川辺では、子どもたちが灯籠を並べていた。" 7)
  (a3:send-string wait-e 7)
  (a3:goto 30)
  (a3:label 20)
  (a3:send-string "神社の境内には、もう太鼓の音が響いていた。" 8)
  (a3:send-string wait-e 8)
  (a3:label 30)
  (a3:send-string clear)
  (a3:call-user-func 3001 0 500 0)
  (a3:call-user-func 2071 0 0 0 255 500 1)
  (a3:jump 3))
