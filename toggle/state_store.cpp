#include "state_store.h"

#include <stddef.h>

namespace {

const WCHAR StateKeyPath[] = TEXT("Software\\Lumivarden");
const WCHAR EnabledValueName[] = TEXT("Enabled");

}  // namespace

LONG OpenStateKey(HKEY* key) {
    DWORD disposition = 0;
    return RegCreateKeyExW(HKEY_CURRENT_USER, StateKeyPath, 0, NULL, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, NULL, key, &disposition);
}

StateText ReadEnabled(HKEY key) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, EnabledValueName, NULL, &type, NULL, &size) != ERROR_SUCCESS) {
        return StateText();
    }

    // One character more than the data can fill, zeroed, so the text always ends in the buffer.
    StateText buffer(size / sizeof(WCHAR) + 1, WCHAR(0));
    DWORD readSize = size;
    if (RegQueryValueExW(key, EnabledValueName, NULL, &type, reinterpret_cast<LPBYTE>(&buffer[0]),
                         &readSize) != ERROR_SUCCESS) {
        // The value may have grown since it was sized; the buffer is then undefined.
        return StateText();
    }

    // Whole characters of the data actually read, up to the first NUL; an odd last byte is
    // not a character.
    size_t limit = (readSize < size ? readSize : size) / sizeof(WCHAR);
    size_t length = 0;
    while (length < limit && buffer[length] != 0) {
        ++length;
    }
    buffer.resize(length);
    return buffer;
}

LONG WriteEnabled(HKEY key, const StateText& text) {
    const DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    return RegSetValueExW(key, EnabledValueName, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), size);
}

void CloseStateKey(HKEY key) {
    RegCloseKey(key);
}
