#ifndef LUMIVARDEN_LAMP_MODE_H
#define LUMIVARDEN_LAMP_MODE_H

#include "platform_api.h"

// The lamp state requested of the driver; no other value is ever sent.
typedef DWORD LampMode;

const LampMode LampModeOn = 1;
const LampMode LampModeOff = 2;

#endif
