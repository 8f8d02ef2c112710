// (being written)
#include "tests/support/app_w_run.h"
