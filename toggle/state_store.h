#ifndef LUMIVARDEN_STATE_STORE_H
#define LUMIVARDEN_STATE_STORE_H

#include <string>

#include "platform_api.h"

// What the last launch did: "1" (lamp switched on) or "2" (switched off).
typedef std::basic_string<WCHAR> StateText;

// Opens, creating it if missing, the current user's key that holds the state.
// Returns the platform's status; *key is valid only on ERROR_SUCCESS.
LONG OpenStateKey(HKEY* key);

// The remembered text; empty when the value is absent or cannot be read.
StateText ReadEnabled(HKEY key);

// Stores the text as a REG_SZ with its terminating NUL.
LONG WriteEnabled(HKEY key, const StateText& text);

void CloseStateKey(HKEY key);

#endif
