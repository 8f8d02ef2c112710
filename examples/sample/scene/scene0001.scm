; Story, part one: the story window (message window 0) comes up and shows the
; first pages. Each text waits for a click (or Return) after it is revealed;
; "clear" turns the page and puts it into the message log.
(a3:define-set (0 0)
  (a3:call-user-func 2020 0)
  (a3:call-user-func 2021 1)
  (a3:send-string "夜の川辺に、提灯の灯がひとつ、またひとつと流れていく。#R祭りの前の晩は、いつもこうして静かに始まる。" 1)
  (a3:send-string wait-e 1)
  (a3:send-string "「明日は晴れるかな」#R$2妹$Nが空を見上げて、小さくつぶやいた。" 2)
  (a3:send-string wait-w 2)
  (a3:send-string clear)
  (a3:send-string "&RA灯籠&RSとうろう&RTの光が、黒い水面にゆらゆらと揺れている。" 3)
  (a3:send-string wait-e 3)
  (a3:send-string clear)
  (a3:jump 2))
