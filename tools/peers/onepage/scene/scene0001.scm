; The page: the background, message window 0 revealing the text, a wait
; for a click, and the end of the run.
(a3:define-set (0 0)
  (a3:call-user-func 2000 1 -1 0 0 0 0 0 0)
  (a3:call-user-func 2020 0)
  (a3:call-user-func 2021 1)
  (a3:send-string "川辺の道に提灯がひとつ、またひとつと灯っていく。#R風は涼しく、水面には祭りの明かりが揺れている。#R遠くで太鼓が鳴り、子どもたちの笑い声が橋を渡る。#R今夜は長い夜になりそうだと、彼女は小さく笑った。" 1)
  (a3:send-string wait-e 1)
  (a3:call-user-func 6000))
