// A recording stand-in for the platform, linked in place of the host layer: it
// holds one registry key with at most one value, an optional lamp device, and
// a log of every call with its arguments.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform_api.h"

namespace fake {

using Bytes = std::vector<BYTE>;

struct Value {
    DWORD type = REG_SZ;
    Bytes data;
};

struct Call {
    std::string function;
    bool keyOpen = false;  // whether the state key was open when the call was made
};

struct CreateKeyArguments {
    HKEY root = nullptr;
    std::u16string subKey;
    DWORD reserved = 0;
    bool classGiven = false;
    DWORD options = 0;
    REGSAM access = 0;
    bool securityGiven = false;
    bool dispositionGiven = false;
};

struct SetValueArguments {
    std::u16string name;
    DWORD reserved = 0;
    DWORD type = 0;
    Bytes data;
};

struct CreateFileArguments {
    std::u16string name;
    DWORD access = 0;
    DWORD shareMode = 0;
    bool securityGiven = false;
    DWORD disposition = 0;
    DWORD flags = 0;
    bool templateGiven = false;
};

struct IoControlArguments {
    HANDLE device = nullptr;
    DWORD code = 0;
    Bytes input;
    bool outputGiven = false;
    DWORD outputSize = 0;
    bool bytesReturnedGiven = false;
    bool overlappedGiven = false;
};

struct Platform {
    // What the registry and the device do.
    LONG createKeyStatus = ERROR_SUCCESS;
    std::optional<Value> enabled;
    // Replaces the value right after the first, sizing query, as another writer would.
    std::optional<Value> enabledAfterSizing;
    // The second query copies these bytes beyond the size it reports.
    Bytes trailingGarbage;
    bool devicePresent = true;
    BOOL ioControlResult = TRUE;

    // What the system did.
    std::vector<Call> calls;
    std::vector<CreateKeyArguments> createKeyCalls;
    std::vector<SetValueArguments> setValueCalls;
    std::vector<CreateFileArguments> createFileCalls;
    std::vector<IoControlArguments> ioControlCalls;
    std::vector<HANDLE> closedHandles;
    int openKeys = 0;

    std::vector<std::string> CallNames() const;
};

// The one platform the system sees; reset before each test.
Platform& State();
void Reset();

HKEY StateKeyHandle();
HANDLE DeviceHandle();

// UTF-16LE bytes of a text, with or without its terminating NUL.
Bytes Utf16(const std::u16string& text, bool withNul = true);

}  // namespace fake
