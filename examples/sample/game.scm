; The sample game's system configuration. It grows with the engine.
(:product-info
  (:author-name . "zep sample")
  (:product-name . "Sample Game"))
(:system
  (:mutex-name . "zep-sample"))
(:window
  (:width . 800)
  (:height . 600))
