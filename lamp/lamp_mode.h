#ifndef LUMIVARDEN_LAMP_MODE_H
#define LUMIVARDEN_LAMP_MODE_H

#include "platform_api.h"

// The lamp state requested of the driver; no other value is ever sent.
typedef DWORD LampMode;

const LampMode LampModeOn = 1;
const LampMode LampModeOff = 2;

// The driver's control code for setting the lamp: device type 0x9000,
// function 0x805, buffered, any access. Its input is the mode, 4 bytes LE.
const DWORD LampControlCode = 0x90002014;

#endif
