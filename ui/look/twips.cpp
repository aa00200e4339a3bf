// Twips helpers are inline; this unit keeps the library non-empty from the start.
#include "twips.h"
