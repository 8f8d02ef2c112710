; Story, part two: one more click (or three seconds) ends the story.
(a3:define-set (0 0)
  (a3:call-user-func 4000 1 3000 0))
