#include "app/config_reader.h"
