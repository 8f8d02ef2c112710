; One page of text for measuring app_w beside another engine
; (tools/measure-startup.sh --peer): the sample's background and story
; window, one page revealed at the sample's speed (its middle speed, 40 ms a
; character), then a wait for a click with a key-wait icon that stops.
; 0.txt is the same page for ONScripter. The pictures are copies of the
; sample's generated ones.
(:product-info
  (:author-name . "zep peers")
  (:product-name . "One page")
  (:save-folder-location . 1))

(:system
  (:mutex-name . "zep-peer-onepage"))

(:resource
  (:script-basedir "scene") (:script-basename "scene") (:script-num-digits 4) (:script-extension "scm")
  (:image-basedir "image") (:image-basename "bg") (:image-num-digits 3) (:image-extension "png")
  (:parts-basedir "parts") (:parts-basename "parts") (:parts-num-digits 3) (:parts-extension "png")
  (:font-0-type 0) (:font-0-name "IPAGothic"))

(:window
  (:window-title "One page")
  (:window-width 800)
  (:window-height 600)
  (:flip-method "vblank")
  (:flip-method-rate 60))

; The sample's story window, its key-wait icon the one that stops.
(:message-window
  (entryMap
    (0 (window-position-x . 20) (window-position-y . 410)
       (window-width . 760) (window-height . 176)
       (window-bg-imageUrl . "msgwin_frame.png")
       (ta-offset-x . 28) (ta-offset-y . 24) (ta-width . 704) (ta-height . 132)
       (ta-font . 0) (ta-font-size . 24) (ta-font-color . "white")
       (ta-line-pitch . 8) (ta-char-gap . 1)
       (ta-linenum . 4) (ta-chars-per-line . 56)
       (ta-font-edge-color.r . 20) (ta-font-edge-color.g . 20)
       (ta-font-edge-color.b . 40) (ta-font-edge-color.a . 255)
       ; No ruby on this page: its lines reserve no room for it, so all four fit.
       (ta-ruby-font-size . 1) (ta-ruby-line-pitch . 0)
       (ta-keywait-icon . 21) (ta-keywait-icon-1 . 21)
       (ta-display-speed-low . 90) (ta-display-speed-middle . 40) (ta-display-speed-high . 12))))

(:parts
  (21 (type . animation) (size 24 24) (loop . #f)
      (piclist ((url . 3) (rect 0 0 24 24) (waittime . 200))
               ((url . 3) (rect 0 24 24 24) (waittime . 200)))))
