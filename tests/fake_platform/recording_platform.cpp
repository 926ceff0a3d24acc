#include "recording_platform.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {

Platform platform;
int keyToken;
int deviceToken;
DWORD lastError;

void Record(const char* function) {
    platform.calls.push_back({function, platform.openKeys > 0});
}

std::u16string TextOf(LPCWSTR text) {
    return text != nullptr ? std::u16string(text) : u"";
}

}  // namespace

std::vector<std::string> Platform::CallNames() const {
    std::vector<std::string> names;
    for (const Call& call : calls) names.push_back(call.function);
    return names;
}

Platform& State() {
    return platform;
}
void Reset() {
    platform = Platform{};
}
HKEY StateKeyHandle() {
    return reinterpret_cast<HKEY>(&keyToken);
}
HANDLE DeviceHandle() {
    return &deviceToken;
}

Bytes Utf16(const std::u16string& text, bool withNul) {
    Bytes bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    if (withNul) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

}  // namespace fake

using fake::platform;

DWORD WINAPI GetLastError() {
    return fake::lastError;
}
void WINAPI SetLastError(DWORD error) {
    fake::lastError = error;
}

LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                            DWORD options, REGSAM desired, LPSECURITY_ATTRIBUTES security,
                            PHKEY result, LPDWORD disposition) {
    fake::Record("RegCreateKeyExW");
    platform.createKeyCalls.push_back({key, fake::TextOf(subKey), reserved, keyClass != nullptr,
                                       options, desired, security != nullptr,
                                       disposition != nullptr});
    if (platform.createKeyStatus != ERROR_SUCCESS) return platform.createKeyStatus;
    *result = fake::StateKeyHandle();
    if (disposition != nullptr) *disposition = REG_OPENED_EXISTING_KEY;
    ++platform.openKeys;
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize) {
    fake::Record("RegQueryValueExW");
    if (key != fake::StateKeyHandle()) return ERROR_INVALID_HANDLE;
    if (reserved != nullptr || dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (fake::TextOf(valueName) != u"Enabled" || !platform.enabled) return ERROR_FILE_NOT_FOUND;

    const fake::Value value = *platform.enabled;
    if (platform.enabledAfterSizing) {
        platform.enabled = platform.enabledAfterSizing;
        platform.enabledAfterSizing.reset();
    }
    const DWORD size = static_cast<DWORD>(value.data.size());
    if (type != nullptr) *type = value.type;
    if (data == nullptr) {
        *dataSize = size;
        return ERROR_SUCCESS;
    }
    if (*dataSize < size) {
        // The buffer's contents are undefined after this; make them look like "1".
        for (DWORD i = 0; i < *dataSize; ++i) data[i] = (i % 2 == 0) ? '1' : 0;
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    std::copy(value.data.begin(), value.data.end(), data);
    const std::size_t room = *dataSize - size;
    std::copy_n(platform.trailingGarbage.begin(), std::min(room, platform.trailingGarbage.size()),
                data + size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD dataSize) {
    fake::Record("RegSetValueExW");
    platform.setValueCalls.push_back(
        {fake::TextOf(valueName), reserved, type, fake::Bytes(data, data + dataSize)});
    if (key != fake::StateKeyHandle()) return ERROR_INVALID_HANDLE;
    platform.enabled = fake::Value{type, fake::Bytes(data, data + dataSize)};
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueW(HKEY, LPCWSTR) {
    fake::Record("RegDeleteValueW");
    return ERROR_NOT_SUPPORTED;
}

LONG WINAPI RegCloseKey(HKEY key) {
    fake::Record("RegCloseKey");
    if (key != fake::StateKeyHandle() || platform.openKeys == 0) return ERROR_INVALID_HANDLE;
    --platform.openKeys;
    return ERROR_SUCCESS;
}

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    fake::Record("CreateFileW");
    platform.createFileCalls.push_back({fake::TextOf(fileName), desiredAccess, shareMode,
                                        security != nullptr, creationDisposition,
                                        flagsAndAttributes, templateFile != nullptr});
    if (!platform.devicePresent) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return fake::DeviceHandle();
}

BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                            LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                            LPOVERLAPPED overlapped) {
    fake::Record("DeviceIoControl");
    const BYTE* input = static_cast<const BYTE*>(inBuffer);
    platform.ioControlCalls.push_back(
        {device, ioControlCode, fake::Bytes(input, input + (input ? inBufferSize : 0)),
         outBuffer != nullptr, outBufferSize, bytesReturned != nullptr, overlapped != nullptr});
    if (!platform.ioControlResult) SetLastError(ERROR_INVALID_PARAMETER);
    return platform.ioControlResult;
}

BOOL WINAPI CloseHandle(HANDLE object) {
    fake::Record("CloseHandle");
    platform.closedHandles.push_back(object);
    return object == fake::DeviceHandle();
}
