#ifndef LUMIVARDEN_TOGGLE_RUN_H
#define LUMIVARDEN_TOGGLE_RUN_H

#include "platform_api.h"

// One launch: switches the lamp to the opposite of what the last launch did and
// remembers it. The arguments are accepted and ignored. Returns 0, or -1 when the
// state key cannot be opened.
int ToggleLamp(int argumentCount, WCHAR** argumentVector);

#endif
