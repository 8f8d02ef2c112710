// The event classes are defined inline; this unit anchors their vtables.
#include "app/event.h"
