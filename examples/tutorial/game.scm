; The tutorial game's system configuration: the smallest complete game
; (docs/authoring.md builds it step by step). The engine reads this file
; once at start-up; like every scenario file it is CP932 text.

; Who made the game. The two names make the folder of the player's saves,
; and the product name is the caption of the engine's message boxes.
(:product-info
  (:author-name . "zep tutorial")       ; the saves' first folder
  (:product-name . "Tutorial")          ; their second folder, and the caption
  (:savedata-version . 1)               ; save/default.dat holds (version . 1)
  (:save-folder-location . 1))          ; saves under $XDG_DATA_HOME, not in the game

; One copy of the game at a time, by this name.
(:system
  (:mutex-name . "zep-tutorial"))

; Where each kind of file lies and how numbered files are named: scenario
; 1 is scene/scene0001.scm, picture 2 image/bg002.png, cell picture 1
; cell/cell001.png, music 1 music/bgm01.ogg.
(:resource
  (:script-basedir "scene") (:script-basename "scene")       ; scenarios
  (:script-num-digits 4) (:script-extension "scm")
  (:image-basedir "image") (:image-basename "bg")            ; backgrounds
  (:image-num-digits 3) (:image-extension "png")
  (:cellimage-basedir "cell") (:cellimage-basename "cell")   ; characters
  (:cellimage-num-digits 3) (:cellimage-extension "png")
  (:music-basedir "music") (:music-basename "bgm")           ; music
  (:music-num-digits 2) (:music-extension "ogg")
  (:font-0-type 0) (:font-0-name "IPAGothic")                ; font 0: a system font
  (:save-basedir "save")                                     ; the settings file's folder
  (:save-syssave-name "system.dat")                          ; the player's settings and saves
  (:save-syssave-default-name "default.dat"))                ; read while there is none yet

; F5 opens the save screen (system script type 6: scene/scene9006.scm),
; F9 the load screen (type 7: scene/scene9002.scm).
(:key
  ("save" . "F5")
  ("load" . "F9"))

; The window: its title and its size in pixels.
(:window
  (:window-title "Tutorial")            ; the title bar
  (:window-width 800)                   ; the screen is 800 pixels wide
  (:window-height 600))                 ; and 600 high

; Colours by index, (index red green blue): "$2" in a text is entry 2.
(:color-table
  (0 255 255 255)                       ; white
  (1 0 0 0)                             ; black
  (2 255 214 96))                       ; gold

; The one message window, number 0, along the bottom of the screen.
(:message-window
  (entryMap
    (0 (window-position-x . 20) (window-position-y . 420)       ; where the window lies
       (window-width . 760) (window-height . 160)               ; and its size
       (ta-offset-x . 24) (ta-offset-y . 20)                    ; the text inside it
       (ta-width . 712) (ta-height . 130)
       (ta-bg-amikake . #t)                                     ; a shaded panel behind the text
       (ta-bg-color.r . 12) (ta-bg-color.g . 14)                ; in dark blue,
       (ta-bg-color.b . 30) (ta-bg-color.a . 176)               ; half see-through
       (ta-font . 0) (ta-font-size . 24)                        ; font 0, 24 pixels
       (ta-line-pitch . 8) (ta-linenum . 3)                     ; three lines, 8 pixels apart
       (ta-chars-per-line . 56)                                 ; 56 half-width characters a line
       (ta-ruby-line-pitch . 2))))                              ; ruby 2 pixels above its text

; The choice window, number 0: where the choices stand and their colours.
(:select-window
  (0 (window-x . 200) (window-y . 160)                          ; the window's corner
     (window-width . 400) (window-height-base . 24)             ; its width; extra height
     (window-color-r . 12) (window-color-g . 14)                ; dark blue,
     (window-color-b . 30) (window-color-a . 200)               ; nearly opaque
     (cursor-color-r . 90) (cursor-color-g . 140)               ; the chosen line's
     (cursor-color-b . 230) (cursor-color-a . 160)              ; light blue bar
     (item-width . 360) (item-height . 36) (item-height-gap . 6) ; each line's size
     (item-offset-x . 20) (item-offset-y . 12)))                ; and where the first starts

; Interface parts by number: the title's three lines of text and the
; touch area over its load line, and one line of the save and load screens,
; whose text their scripts set. A text part without a size is as large as
; its text (a size would stretch the text over it); a touch map draws
; nothing, its areas only post events.
(:parts
  (1 (type . text) (string . "The Lanterns")                    ; the game's name,
     (fontsize . 40) (fontcolor . 2))                           ; 40 pixels, in gold
  (2 (type . text) (string . "Click to begin")                  ; the hint below it,
     (fontsize . 20) (fontcolor 230 230 240))                   ; 20 pixels, in pale grey
  (3 (type . text) (string . "")                                ; a line of the save and load screens,
     (fontsize . 22) (fontcolor 255 255 255))                   ; 22 pixels, in white
  (4 (type . text) (string . "Load a save (F9)")                ; the title's load line,
     (fontsize . 20) (fontcolor . 2))                           ; 20 pixels, in gold
  (5 (type . touchmap)                                          ; the area over it:
     (map (rect (rect 300 370 200 40) (event . 1)))))           ; x, y, width, height; area 1
