; The setup program's configuration: the engine runs the install or the
; uninstall script of setup/scene and keeps no settings file.
(:product-info (:product-name . "Sample Game Setup") (:savedata-usage . 2))
(:system (:mutex-name . "zep-sample-setup"))
(:resource (:script-basedir "setup/scene") (:script-basename "scene") (:script-num-digits 4)
  (:script-extension "scm") (:font-0-type 0) (:font-0-name "IPAGothic"))
(:window (:window-title "Sample Game Setup") (:window-width 320) (:window-height 240))
