#ifndef LUMIVARDEN_LAMP_COMMAND_H
#define LUMIVARDEN_LAMP_COMMAND_H

#include "lamp_mode.h"

// Opens the lamp driver, asks it for the given mode and closes it again.
// Every failure is silent: the call always returns normally.
void SendLampCommand(LampMode mode);

#endif
