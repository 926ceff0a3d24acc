#include "toggle_run.h"

#include <stddef.h>

#include "lamp_command.h"
#include "state_store.h"

int ToggleLamp(int argumentCount, WCHAR** argumentVector) {
    (void)argumentCount;
    (void)argumentVector;

    HKEY key = NULL;
    if (OpenStateKey(&key) != ERROR_SUCCESS) {
        return -1;
    }

    const bool wasOn = ReadEnabled(key) == TEXT("1");
    const StateText nextText(wasOn ? TEXT("2") : TEXT("1"));
    const LampMode nextMode = wasOn ? LampModeOff : LampModeOn;

    // Remember first, then command; the key stays open until the command returns.
    WriteEnabled(key, nextText);
    SendLampCommand(nextMode);
    CloseStateKey(key);
    return 0;
}
