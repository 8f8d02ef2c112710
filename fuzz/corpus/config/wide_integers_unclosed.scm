(:window (:window-width 4294968096) (:window-height -2147483649))
(:system (:texture-cache-num . 0x1FFFFFFFF))
(:product-info (:product-name . "unclosed