// The registry functions over the hive file. A handle names a key by its path;
// every call reads the hive as it is now, so other programs' changes show.
#include <cstring>
#include <new>

#include "handle_table.h"
#include "hive_edit.h"
#include "hive_store.h"
#include "winapi.h"

namespace lumivarden::host {
namespace {

struct KeyHandle {
    Text path;
};

HandleTable<KeyHandle> keyHandles;

const Text RootPath;

// The path a handle names, or nothing for a handle that is not ours.
const Text* KeyPath(HKEY key) {
    if (key == HKEY_CURRENT_USER) return &RootPath;
    const KeyHandle* handle = keyHandles.Find(key);
    return handle != nullptr ? &handle->path : nullptr;
}

TextView NameOf(LPCWSTR name) {
    return name != nullptr ? TextView(name) : TextView();
}

// The key below base that a subkey path names. As the platform's registry
// does, empty components (a doubled or trailing backslash) name nothing; a
// leading backslash is refused.
LONG JoinPath(const Text& base, TextView sub, Text* path) {
    if (!sub.empty() && sub.front() == u'\\') return ERROR_BAD_PATHNAME;
    *path = base;
    std::size_t start = 0;
    while (start <= sub.size()) {
        std::size_t end = sub.find(u'\\', start);
        if (end == TextView::npos) end = sub.size();
        if (end > start) {
            if (!path->empty()) path->push_back(u'\\');
            path->append(sub.substr(start, end - start));
        }
        start = end + 1;
    }
    return IsValidKeyPath(*path) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

}  // namespace
}  // namespace lumivarden::host

using namespace lumivarden::host;

LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                            DWORD options, REGSAM desired, LPSECURITY_ATTRIBUTES security,
                            PHKEY result, LPDWORD disposition) {
    (void)keyClass;
    (void)desired;
    (void)security;
    const Text* base = KeyPath(key);
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    if (result == nullptr || reserved != 0 || options != REG_OPTION_NON_VOLATILE) {
        return ERROR_INVALID_PARAMETER;
    }
    Text path;
    LONG status = JoinPath(*base, NameOf(subKey), &path);
    if (status != ERROR_SUCCESS) return status;

    // Most opens find the key already there and need no write.
    std::shared_ptr<const HiveDocument> hive;
    status = LoadHive(&hive);
    if (status != ERROR_SUCCESS) return status;
    bool created = false;
    if (FindKey(*hive, path) == NoEntry) {
        hive.reset();  // the update may then change the cached hive in place
        status = UpdateHive([&](HiveDocument& current, bool* changed) -> LONG {
            if (FindKey(current, path) != NoEntry) return ERROR_SUCCESS;
            if (!AddKey(current, path)) return ERROR_NOT_ENOUGH_MEMORY;
            created = *changed = true;
            return ERROR_SUCCESS;
        });
        if (status != ERROR_SUCCESS) return status;
    }

    KeyHandle* handle = new (std::nothrow) KeyHandle;
    if (handle == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    handle->path = path;
    keyHandles.Add(handle);
    *result = reinterpret_cast<HKEY>(handle);
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize) {
    const Text* path = KeyPath(key);
    if (path == nullptr) return ERROR_INVALID_HANDLE;
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }

    std::shared_ptr<const HiveDocument> hive;
    const LONG status = LoadHive(&hive);
    if (status != ERROR_SUCCESS) return status;
    const std::uint32_t found = FindKey(*hive, *path);
    if (found == NoEntry) return ERROR_KEY_DELETED;
    ValueLine value;
    if (!FindValue(*hive, found, NameOf(valueName), &value)) return ERROR_FILE_NOT_FOUND;

    if (type != nullptr) *type = value.type;
    const Bytes bytes = ValueData(*hive, value);
    const DWORD size = static_cast<DWORD>(bytes.size());
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && size != 0) std::memcpy(data, bytes.data(), size);
    if (dataSize != nullptr) *dataSize = size;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD dataSize) {
    const Text* path = KeyPath(key);
    if (path == nullptr) return ERROR_INVALID_HANDLE;
    const TextView name = NameOf(valueName);
    if (reserved != 0 || (data == nullptr && dataSize != 0) || !IsValidValueName(name)) {
        return ERROR_INVALID_PARAMETER;
    }
    return UpdateHive([&](HiveDocument& hive, bool* changed) -> LONG {
        const std::uint32_t found = FindKey(hive, *path);
        if (found == NoEntry) return ERROR_KEY_DELETED;
        if (!SetValue(hive, found, name, type, data, dataSize)) return ERROR_NOT_ENOUGH_MEMORY;
        *changed = true;
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    const Text* path = KeyPath(key);
    if (path == nullptr) return ERROR_INVALID_HANDLE;
    const TextView name = NameOf(valueName);
    return UpdateHive([&](HiveDocument& hive, bool* changed) -> LONG {
        const std::uint32_t found = FindKey(hive, *path);
        if (found == NoEntry) return ERROR_KEY_DELETED;
        if (!DeleteValue(hive, found, name)) return ERROR_FILE_NOT_FOUND;
        *changed = true;
        return ERROR_SUCCESS;
    });
}

LONG WINAPI RegCloseKey(HKEY key) {
    if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
    KeyHandle* handle = keyHandles.Remove(key);
    if (handle == nullptr) return ERROR_INVALID_HANDLE;
    delete handle;
    return ERROR_SUCCESS;
}
