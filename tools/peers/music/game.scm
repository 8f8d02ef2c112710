; Music playing and nothing else, for measuring the time from SIGTERM to the
; end beside another engine (tools/measure-startup.sh --music-game): the
; start script plays the sample's music in a loop and waits ten minutes.
; 0.txt is the same game for ONScripter. The music is a copy of the
; sample's.
(:product-info
  (:author-name . "zep peers")
  (:product-name . "Music")
  (:save-folder-location . 1))

(:system
  (:mutex-name . "zep-peer-music"))

(:resource
  (:script-basedir "scene") (:script-basename "scene") (:script-num-digits 4) (:script-extension "scm")
  (:music-basedir "music") (:music-basename "bgm") (:music-num-digits 2) (:music-extension "ogg")
  (:font-0-type 0) (:font-0-name "IPAGothic"))

(:window
  (:window-title "Music")
  (:window-width 800)
  (:window-height 600))

(:message-window
  (entryMap
    (0 (window-position-x . 20) (window-position-y . 410)
       (window-width . 760) (window-height . 176))))
