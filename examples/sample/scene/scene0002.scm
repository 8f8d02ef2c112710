; Story, part two: a note in the narrow window (message window 1), then the
; last page in the story window. Each page moves on by itself three seconds
; after it starts (a click or Return moves it on sooner): the event wait
; takes the confirm input (mask 1) with a time-out of 3000 ms. The story
; then ends and starts over.
(a3:define-set (0 0)
  (a3:eval-noeffect (a3:assign-word 90 2))
  (a3:call-user-func 4100 90 "Part two: the festival")
  (a3:call-user-func 2070)
  (a3:call-user-func 2020 1)
  (a3:send-string "（覚え書き）川辺の祭りは、毎年夏の終わりに開かれる。" 4)
  (a3:call-user-func 4000 1 3000 0)
  (a3:send-string clear)
  (a3:call-user-func 2020 0)
  (a3:send-string "そして、祭りの夜がふたたびやってくる。" 5)
  (a3:call-user-func 4000 1 3000 0)
  (a3:send-string clear))
