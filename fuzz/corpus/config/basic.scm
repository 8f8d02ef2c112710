(:product-info (:author-name . "author") (:product-name . "game") (:savedata-version . 3))
(:system (:mutex-name . "m") (:texture-cache-num . 60))
(:color-table (1 255 0 0) (2 0 255 0 128))
