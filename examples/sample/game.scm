; The sample game's system configuration.

(:product-info
  (:author-key . "ZepSample")
  (:product-key . "SampleGame")
  (:author-name . "zep sample")
  (:product-name . "Sample Game")
  (:savedata-usage . 1)
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
  (:font-1-type 2) (:font-1-name "digits")
  (:font-1-0-24 "digits24_0.png") (:font-1-1-24 "digits24_1.png")
  (:font-1-2-24 "digits24_2.png") (:font-1-3-24 "digits24_3.png")
  (:save-basedir "save") (:save-basename "save") (:save-num-digits 3) (:save-extension "dat")
  (:save-syssave-name "system.dat") (:save-syssave-default-name "default.dat")
  (:storage-basedir "storage") (:storage-basename "st") (:storage-num-digits 3) (:storage-extension "bin")
  (:cursor-basedir "cursor") (:cursor-basename "cur") (:cursor-num-digits 2) (:cursor-extension "cur"))

(:flag-constants
  (10 . 5000) (11 . 3000) (12 . 1000))

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
