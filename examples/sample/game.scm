; The sample game's system configuration.

(:product-info
  (:author-key . "ZepSample")
  (:product-key . "SampleGame")
  (:author-name . "zep sample")
  (:product-name . "Sample Game")
  (:savedata-usage . 0)
  (:savedata-version . 1)
  (:savedata-encmode . 2)
  (:save-folder-location . 1)
  (:install-regkey . "SOFTWARE/ZepSample/SampleGame")
  (:error-message . "The game could not start.")
  (:alternative-resource-searchpath-regkey . "ResourcePath"))

(:system
  (:mutex-name . "zep-sample-game")
  (:texture-cache-num . 60)
  (:texture-cache-purge-timelimit . 20))

(:resource
  (:script-basedir "scene") (:script-basename "scene") (:script-num-digits 4) (:script-extension "scm")
  (:image-basedir "image") (:image-basename "bg") (:image-num-digits 3) (:image-extension "png")
  (:streamanime-basedir "anime") (:streamanime-basename "anim") (:streamanime-num-digits 2)
  (:streamanime-extension "")
  (:cellimage-basedir "cell") (:cellimage-basename "cell") (:cellimage-num-digits 3) (:cellimage-extension "png")
  (:music-basedir "music") (:music-basename "bgm") (:music-num-digits 2) (:music-extension "ogg")
  (:sound-basedir "sound") (:sound-basename "se") (:sound-num-digits 3) (:sound-extension "wav")
  (:voice-basedir "voice") (:voice-scene-num-digits 3) (:voice-voice-num-digits 4)
  (:voice-voice-prefix "v") (:voice-extension "ogg")
  (:parts-basedir "parts") (:parts-basename "parts") (:parts-num-digits 3) (:parts-extension "png")
  (:movie-basedir "movie") (:movie-basename "mv") (:movie-num-digits 2) (:movie-extension "mpg")
  (:font-basedir "font")
  (:font-0-type 0) (:font-0-name "IPAGothic")
  (:save-basedir "save") (:save-basename "save") (:save-num-digits 3) (:save-extension "dat")
  (:save-syssave-name "system.dat") (:save-syssave-default-name "default.dat")
  (:storage-basedir "storage") (:storage-basename "st") (:storage-num-digits 3) (:storage-extension "bin")
  (:cursor-basedir "cursor") (:cursor-basename "cur") (:cursor-num-digits 2) (:cursor-extension "cur"))

; 10-12: auto-mode waits. 45-52: the system screens of types 5-12 (erase
; window, save, load, backlog, configuration, quick save, quick load, flow
; mode): save 9106, load 9107, the backlog 9108, the others 9100.
(:flag-constants
  (10 . 5000) (11 . 3000) (12 . 1000)
  (45 . 9100) (46 . 9106) (47 . 9107) (48 . 9108)
  (49 . 9100) (50 . 9100) (51 . 9100) (52 . 9100))

(:string-constants
  (1 . "Sample Game"))

(:key
  ("save" . "F5")
  ("load" . "F9")
  ("qsave" . "F6")
  ("qload" . "F7")
  ("skipmsg" . 17)
  ("backlog" . 33))

(:window
  (:window-title "Sample Game")
  (:window-width 800)
  (:window-height 600)
  (:enable-switch-fullscreen #t)
  (:flip-method "vblank")
  (:flip-method-rate 60)
  (:default-cursor 0)
  (:enable-exit-by-user #t)
  (:window-width-1 1024) (:window-height-1 768)
  (:window-width-2 1280) (:window-height-2 960))

; Colours by index: (index r g b [a]). Text parts name them by index.
(:color-table
  (0 255 255 255)
  (1 24 28 48 200)
  (2 255 214 96)
  (3 120 190 255)
  (4 232 88 88))

; Choice windows by number.
(:select-window
  (0 (window-x . 150) (window-y . 140)
     (window-width . 500) (window-height-base . 24)
     (window-color-r . 24) (window-color-g . 28) (window-color-b . 48) (window-color-a . 200)
     (cursor-color-r . 90) (cursor-color-g . 140) (cursor-color-b . 230) (cursor-color-a . 160)
     (item-width . 460) (item-height . 36) (item-height-gap . 6)
     (item-offset-x . 20) (item-offset-y . 12)
     (item-text-color.r . 250) (item-text-color.g . 246) (item-text-color.b . 232)
     (item-text-edge-color.r . 16) (item-text-edge-color.g . 16)
     (item-text-edge-color.b . 32) (item-text-edge-color.a . 255))
  (1 (window-x . 80) (window-y . 60)
     (window-width . 640) (window-height-base . 16)
     (item-height . 28) (item-offset-x . 12) (item-offset-y . 8)))

; Message windows: 0 is the story window, 1 the narrow window for notes.
(:message-window
  (entryMap
    (0 (window-position-x . 20) (window-position-y . 410)
       (window-width . 760) (window-height . 176)
       (window-bg-imageUrl . "msgwin_frame.png")
       ; No text backing: it would lie over the frame picture, which
       ; carries the window's dark backing itself.
       (ta-offset-x . 28) (ta-offset-y . 24) (ta-width . 704) (ta-height . 132)
       (ta-font . 0) (ta-font-size . 24) (ta-font-color . "white")
       ; A line takes its size, the ruby's size and the ruby's pitch, with
       ; the line pitch after it: 24 + 10 + 2 + 8 = 44 pixels, so the
       ; 132-pixel text area holds three lines.
       (ta-line-pitch . 8) (ta-char-gap . 1)
       (ta-linenum . 3) (ta-chars-per-line . 56)
       (ta-font-edge-color.r . 20) (ta-font-edge-color.g . 20)
       (ta-font-edge-color.b . 40) (ta-font-edge-color.a . 255)
       (ta-ruby-font . 0) (ta-ruby-font-size . 10)
       (ta-ruby-text-color.r . 255) (ta-ruby-text-color.g . 240)
       (ta-ruby-text-color.b . 200) (ta-ruby-text-color.a . 255)
       (ta-ruby-edge-color.r . 0) (ta-ruby-edge-color.g . 0)
       (ta-ruby-edge-color.b . 0) (ta-ruby-edge-color.a . 220)
       (ta-ruby-line-pitch . 2)
       (ta-keywait-icon . 20) (ta-keywait-icon-1 . 21)
       (ta-keywait-icon-posx . 724) (ta-keywait-icon-posy . 140)
       (ta-display-speed-low . 90) (ta-display-speed-middle . 40) (ta-display-speed-high . 12)
       (cp-0-offset-x . 556) (cp-0-offset-y . 4) (cp-0-parts . 30) (cp-0-event . "qsave")
       (cp-1-offset-x . 656) (cp-1-offset-y . 4) (cp-1-parts . 31) (cp-1-event . "qload")
       (cp-2-offset-x . 456) (cp-2-offset-y . 4) (cp-2-parts . 32) (cp-2-event . "backlog")
       (cp-c0-0-offset-x . 700) (cp-c0-0-offset-y . 150) (cp-c0-0-parts . 33)
       (cp-c0-0-event . "erasewin"))
    (1 (window-position-x . 100) (window-position-y . 40)
       (window-width . 600) (window-height . 96)
       (ta-offset-x . 16) (ta-offset-y . 12) (ta-width . 568) (ta-height . 72)
       (ta-font-size . 20) (ta-linenum . 2) (ta-chars-per-line . 48)
       (ta-keywait-icon . 21) (ta-keywait-icon-1 . 20)
       (ta-keywait-icon-posx . 576) (ta-keywait-icon-posy . 72)
       (cp-0-offset-x . 500) (cp-0-offset-y . 64) (cp-0-parts . 33) (cp-0-event . "erasewin"))))

; The pop-up menu that slides in from the right edge.
(:menu
  (entryMap
    (0 (position . "right") (menu-width . 140) (sensor-width . 32)
       (bg-imageUrl . "menu_panel.png")
       (cp-0-offset-x . 22) (cp-0-offset-y . 40) (cp-0-parts . 34) (cp-0-event . "save")
       (cp-1-offset-x . 22) (cp-1-offset-y . 84) (cp-1-parts . 35) (cp-1-event . "load")
       (cp-2-offset-x . 22) (cp-2-offset-y . 128) (cp-2-parts . 36) (cp-2-event . "config"))
    (1 (position . "bottom") (menu-width . 64) (sensor-width . 24)
       (cp-0-offset-x . 16) (cp-0-offset-y . 16) (cp-0-parts . 37) (cp-0-event . "flowmode"))))

; Interface parts by number. Numbered urls follow the parts naming rule.
(:parts
  ; Still images.
  (10 (type . image) (url . 1) (rect 0 0 96 96))
  (11 (type . image) (url . "title_logo.png") (size 320 120))
  ; Key-wait icons: small looping animations.
  (20 (type . animation) (size 24 24) (loop . #t)
      (piclist ((url . 2) (rect 0 0 24 24) (waittime . 150))
               ((url . 2) (rect 24 0 24 24) (waittime . 150))
               ((url . 2) (rect 48 0 24 24) (waittime . 300))))
  (21 (type . animation) (size 24 24) (loop . #f)
      (piclist ((url . 3) (rect 0 0 24 24) (waittime . 200))
               ((url . 3) (rect 0 24 24 24) (waittime . 200))))
  ; Buttons: pictures normal, hover, pressed, disabled.
  (30 (type . button) (size 88 28)
      (pic0 (url . 4) (rect 0 0 88 28))
      (pic1 (url . 4) (rect 0 28 88 28))
      (pic2 (url . 4) (rect 0 56 88 28))
      (pic3 (url . 4) (rect 0 84 88 28)))
  (31 (type . button) (size 88 28)
      (pic0 (url . 5) (rect 0 0 88 28))
      (pic1 (url . 5) (rect 0 28 88 28))
      (pic2 (url . 5) (rect 0 56 88 28)))
  (32 (type . button) (size 88 28)
      (pic0 (url . 6) (rect 0 0 88 28))
      (pic1 (url . 6) (rect 0 28 88 28)))
  (33 (type . button) (size 48 20)
      (pic0 (url . "btn_hide.png"))
      (pic1 (url . "btn_hide_on.png")))
  (34 (type . button) (size 96 36)
      (pic0 (url . 7) (rect 0 0 96 36))
      (pic1 (url . 7) (rect 96 0 96 36))
      (pic2 (url . 7) (rect 192 0 96 36))
      (pic3 (url . 7) (rect 288 0 96 36)))
  (35 (type . button) (size 96 36)
      (pic0 (url . 8) (rect 0 0 96 36))
      (pic1 (url . 8) (rect 96 0 96 36)))
  (36 (type . button) (size 96 36)
      (pic0 (url . 9) (rect 0 0 96 36))
      (pic1 (url . 9) (rect 96 0 96 36)))
  (37 (type . button) (size 40 40)
      (pic0 (url . 10)))
  ; The title's start and quit buttons, each over one of the touch map's
  ; areas 1 and 2 with a margin.
  (38 (type . button) (size 208 56)
      (pic0 (url . 12) (rect 0 0 208 56))
      (pic1 (url . 12) (rect 0 56 208 56))
      (pic2 (url . 12) (rect 0 112 208 56)))
  (39 (type . button) (size 88 88)
      (pic0 (url . 13) (rect 0 0 88 88))
      (pic1 (url . 13) (rect 88 0 88 88))
      (pic2 (url . 13) (rect 176 0 88 88)))
  ; Text labels, at the size of their text (a configured size would
  ; stretch the text over it).
  (40 (type . text) (string . "Chapter One") (fontsize . 22) (fontcolor . 2))
  (41 (type . text) (string . "Press any key") (fontsize . 16) (fontcolor 200 200 210))
  (42 (type . text) (string . "Start") (fontsize . 24) (fontcolor . 2))
  (43 (type . text) (string . "Quit") (fontsize . 20) (fontcolor 255 255 255))
  ; The backlog: its panel and the parts its pages are shown on.
  (60 (type . image) (url . "backlog_bg.png") (size 800 600))
  (61 (type . text) (string . "") (fontsize . 24) (fontcolor 255 255 255))
  ; The save and load screens: one line per slot, and the touch map whose
  ; four rows pick slots 1 to 4.
  (62 (type . touchmap)
      (map (rect (rect 100 156 600 56) (event . 1))
           (rect (rect 100 220 600 56) (event . 2))
           (rect (rect 100 284 600 56) (event . 3))
           (rect (rect 100 348 600 56) (event . 4))))
  (63 (type . text) (string . "") (fontsize . 22) (fontcolor 230 230 240))
  ; The title screen's touch map: one area per shape.
  (50 (type . touchmap)
      (map (rect (rect 40 400 200 48) (event . 1))
           (circle (center 600 460) (radium . 36) (event . 2))
           (poly (coords 300 380 380 380 340 450) (event . 3))
           (image (url . 11) (size 0 0 -1 -1) (rect 0 0 800 600) (channel . "a") (event . 4))
           (image (url . "title_mask.png") (size 0 0 800 600) (color 255 0 0) (event . 5))))
  ; The lantern chapter's stall: the three rectangles of the mask, red 1 to
  ; 3 on black, are areas 11 to 13 from left to right.
  (70 (type . touchmap)
      (map (image (url . "mask/hit_areas.png") (size 0 0 800 600) (channel . "r") (event . 10)))))

; The story chart: save points on two pages and the routes between them.
(:flowmode
  (spMap
    (1 (initialState . 1) (type . 3) (x . 0) (y . 0) (page . 0) (imageNo . 1)
       (text1 . "Prologue") (text2 . "The night before the festival"))
    (2 (type . 1) (x . 3) (y . 0) (page . 0) (imageNo . 2)
       (text1 . "Chapter 1") (text2 . "Lanterns on the river"))
    (3 (type . 1) (x . 3) (y . 3) (page . 0) (imageNo . 3)
       (text1 . "Chapter 1") (text2 . "The closed shrine"))
    (4 (type . 1) (x . 7) (y . 0) (page . 0) (imageNo . 4)
       (text1 . "Chapter 2") (text2 . "Morning fog"))
    (5 (type . 1) (x . 1) (y . 0) (page . 1) (imageNo . 5)
       (text1 . "Chapter 3") (text2 . "The letter"))
    (6 (type . 2) (x . 4) (y . 2) (page . 1) (imageNo . 6)
       (text1 . "Epilogue") (text2 . "Last light")))
  (connList
    ((from . 1) (to . 2))
    ((from . 1) (to . 3) (outDir . 2) (inDir . 4))
    ((from . 2) (to . 4))
    ((from . 3) (to . 4) (outDir . 6) (inDir . 2))
    ((from . 4) (to . 5))
    ((from . 5) (to . 6) (outDir . 6) (inDir . 4))))
