; One page of sixteen lines for measuring app_w beside another engine
; (tools/measure-startup.sh --long-page): the sample's background and a
; story window of one colour over most of the screen, sixteen lines revealed
; at the sample's speed (40 ms a character), then a wait for a click. The
; CPU per present early and late in the page shows whether a step's cost
; grows as the page fills. 0.txt is the same page for ONScripter. The
; picture is a copy of the sample's generated one.
(:product-info
  (:author-name . "zep peers")
  (:product-name . "Sixteen lines")
  (:save-folder-location . 1))

(:system
  (:mutex-name . "zep-peer-page16"))

(:resource
  (:script-basedir "scene") (:script-basename "scene") (:script-num-digits 4) (:script-extension "scm")
  (:image-basedir "image") (:image-basename "bg") (:image-num-digits 3) (:image-extension "png")
  (:font-0-type 0) (:font-0-name "IPAGothic"))

(:window
  (:window-title "Sixteen lines")
  (:window-width 800)
  (:window-height 600)
  (:flip-method "vblank")
  (:flip-method-rate 60))

(:message-window
  (entryMap
    (0 (window-position-x . 20) (window-position-y . 20)
       (window-width . 760) (window-height . 560)
       (ta-offset-x . 28) (ta-offset-y . 24) (ta-width . 704) (ta-height . 512)
       (ta-bg-amikake . #t)
       (ta-bg-color.r . 32) (ta-bg-color.g . 32) (ta-bg-color.b . 64) (ta-bg-color.a . 160)
       (ta-font . 0) (ta-font-size . 24)
       (ta-line-pitch . 8) (ta-char-gap . 1)
       (ta-linenum . 16) (ta-chars-per-line . 56)
       (ta-font-edge-color.r . 20) (ta-font-edge-color.g . 20)
       (ta-font-edge-color.b . 40) (ta-font-edge-color.a . 255)
       ; No ruby on this page: its lines reserve no room for it, so all sixteen fit.
       (ta-ruby-font-size . 1) (ta-ruby-line-pitch . 0)
       (ta-display-speed-low . 90) (ta-display-speed-middle . 40) (ta-display-speed-high . 12))))
