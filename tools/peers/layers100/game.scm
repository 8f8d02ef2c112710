; A hundred moving script layers, for measuring how many frames a second
; app_w draws on a busy screen (tools/measure-startup.sh --game
; tools/peers/layers100 --reveal A-B: the presents a second between A and
; B). For app_w only. The pictures are copies of the sample's.
(:product-info
  (:author-name . "zep peers")
  (:product-name . "A hundred layers")
  (:save-folder-location . 1))

(:system
  (:mutex-name . "zep-peer-layers100"))

(:resource
  (:script-basedir "scene") (:script-basename "scene") (:script-num-digits 4) (:script-extension "scm")
  (:image-basedir "image") (:image-basename "bg") (:image-num-digits 3) (:image-extension "png")
  (:font-0-type 0) (:font-0-name "IPAGothic"))

(:window
  (:window-title "A hundred layers")
  (:window-width 800)
  (:window-height 600)
  (:flip-method "vblank")
  (:flip-method-rate 60))

(:message-window
  (entryMap
    (0 (window-position-x . 20) (window-position-y . 410)
       (window-width . 760) (window-height . 176))))
