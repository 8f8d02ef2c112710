((group) (layer) (picture))
