; A game that ends at once, for measuring launch to exit beside another
; engine (tools/measure-startup.sh --quit-game): its start script ends the
; run before anything is drawn. 0.txt is the same game for ONScripter.
(:product-info
  (:author-name . "zep peers")
  (:product-name . "Quit")
  (:save-folder-location . 1))

(:system
  (:mutex-name . "zep-peer-quit"))

(:resource
  (:script-basedir "scene") (:script-basename "scene") (:script-num-digits 4) (:script-extension "scm")
  (:font-0-type 0) (:font-0-name "IPAGothic"))

(:window
  (:window-title "Quit")
  (:window-width 800)
  (:window-height 600))

(:message-window
  (entryMap
    (0 (window-position-x . 20) (window-position-y . 410)
       (window-width . 760) (window-height . 176))))
