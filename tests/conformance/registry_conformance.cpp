// Drives the registry functions through a table of cases and prints one line
// per outcome: status, type, reported size and the bytes returned. Built both
// against the host layer and as a Windows program, so the two can be compared
// line by line; the platform's answer is the reference.
//
//   lumivarden-registry-conformance [KEY]     (KEY below HKEY_CURRENT_USER)
//
// A line that starts with "~" shows a habit of the desktop registry that the
// device's documentation does not promise; the comparison leaves it out.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform_api.h"

namespace {

using Bytes = std::vector<BYTE>;
using WideText = std::basic_string<WCHAR>;

// Bytes never seen in a registry answer, to tell what a call wrote.
constexpr BYTE Untouched = 0xA5;
constexpr DWORD UntouchedDword = 0xA5A5A5A5;
constexpr DWORD NoBuffer = 0xFFFFFFFF;

Bytes TextBytes(const WideText& text, bool withNul) {
    Bytes bytes;
    for (WCHAR c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>((c >> 8) & 0xFF));
    }
    if (withNul) bytes.insert(bytes.end(), 2, 0);
    return bytes;
}

std::string Hex(const BYTE* data, std::size_t size) {
    std::string out;
    char part[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02x" : " %02x", data[i]);
        out += part;
    }
    return out;
}

// An outcome may end in remarks, each after a line break, on desktop habits
// that the comparison leaves out.
void Print(const char* name, bool compared, const std::string& outcome) {
    const std::size_t remarks = outcome.find('\n');
    std::printf("%s%s: %s\n", compared ? "" : "~ ", name, outcome.substr(0, remarks).c_str());
    for (std::size_t at = remarks; at != std::string::npos;) {
        const std::size_t next = outcome.find('\n', at + 1);
        std::printf("~ %s, %s\n", name, outcome.substr(at + 1, next - at - 1).c_str());
        at = next;
    }
}

bool IsText(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::string Status(LONG status) {
    return "status " + std::to_string(status);
}

// Stores data from a buffer that holds something other than NUL after the
// counted bytes (or a NUL pair, when asked for), so that what the call sees past
// its size is known.
LONG Set(HKEY key, const WCHAR* name, DWORD type, const Bytes& data, bool nulAfter = false) {
    Bytes buffer(data);
    buffer.push_back(nulAfter ? 0 : 'X');
    buffer.push_back(nulAfter ? 0 : 'X');
    return RegSetValueExW(key, name, 0, type, buffer.data(), static_cast<DWORD>(data.size()));
}

// Reads a value into a buffer of the given size (NoBuffer: no buffer at all)
// and describes what came back. Bytes are shown only when the call succeeded.
std::string Query(HKEY key, const WCHAR* name, DWORD bufferSize, bool wantType = true,
                  bool wantSize = true) {
    DWORD type = UntouchedDword;
    DWORD size = bufferSize == NoBuffer ? 0 : bufferSize;
    Bytes buffer(bufferSize == NoBuffer ? 0 : bufferSize + 16, Untouched);
    const LONG status =
        RegQueryValueExW(key, name, NULL, wantType ? &type : NULL,
                         bufferSize == NoBuffer ? NULL : buffer.data(), wantSize ? &size : NULL);
    std::string out = Status(status);
    if (wantType) out += type == UntouchedDword ? " type -" : " type " + std::to_string(type);
    if (wantSize) out += " size " + std::to_string(size);
    if (status == ERROR_SUCCESS && bufferSize != NoBuffer) {
        const std::size_t shown = size < bufferSize ? size : bufferSize;
        out += " data [" + Hex(buffer.data(), shown) + "]";
        std::size_t written = buffer.size();
        while (written > shown && buffer[written - 1] == Untouched) --written;
        // The desktop registry ends a text that lacks a NUL with one past the
        // data when the buffer has room; the device's documentation does not.
        if (written > shown) {
            out += IsText(type) ? "\npast the data" : " beyond";
            out += " [" + Hex(buffer.data() + shown, written - shown) + "]";
        }
    }
    return out;
}

struct Context {
    HKEY base = NULL;
    WideText basePath;
};

std::string CreateKey(HKEY parent, const WideText& path) {
    HKEY key = NULL;
    DWORD disposition = UntouchedDword;
    const LONG status = RegCreateKeyExW(parent, path.c_str(), 0, NULL, REG_OPTION_NON_VOLATILE,
                                        KEY_ALL_ACCESS, NULL, &key, &disposition);
    std::string out = Status(status);
    if (status == ERROR_SUCCESS) {
        out += " disposition " + std::to_string(disposition);
        RegCloseKey(key);
    }
    return out;
}

// Sets a value and reads it back whole: the common shape of the value cases.
std::string SetAndRead(HKEY key, const WCHAR* name, DWORD type, const Bytes& data,
                       bool nulAfter = false) {
    const LONG status = Set(key, name, type, data, nulAfter);
    if (status != ERROR_SUCCESS) return "set " + Status(status);
    return Query(key, name, static_cast<DWORD>(data.size()) + 8);
}

// A path of "d" keys below the base key that reaches the given level of the
// tree, counted from HKEY_CURRENT_USER.
WideText LevelsBelow(const WideText& basePath, int level) {
    int baseLevels = 1;
    for (WCHAR c : basePath) baseLevels += c == '\\' ? 1 : 0;
    WideText path;
    for (int each = baseLevels; each < level; ++each) {
        if (!path.empty()) path += TEXT("\\");
        path += TEXT("d");
    }
    return path;
}

struct Case {
    const char* name;
    bool compared;
    std::string (*run)(Context&);
};

const Case Cases[] = {
    // Keys.
    {"create the key", true,
     [](Context& c) {
         DWORD disposition = UntouchedDword;
         const LONG status =
             RegCreateKeyExW(HKEY_CURRENT_USER, c.basePath.c_str(), 0, NULL,
                             REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &c.base, &disposition);
         return Status(status) + " disposition " + std::to_string(disposition);
     }},
    {"create it again", true, [](Context& c) { return CreateKey(HKEY_CURRENT_USER, c.basePath); }},
    {"create two levels below", true,
     [](Context& c) { return CreateKey(c.base, TEXT("Child\\Grandchild")); }},
    {"create the middle level, now there", true,
     [](Context& c) { return CreateKey(c.base, TEXT("Child")); }},
    {"create below in another case", true,
     [](Context& c) { return CreateKey(c.base, TEXT("CHILD\\grandCHILD")); }},
    // Wine reports a new key though none is made; no documentation promises a
    // disposition for an empty path.
    {"create with an empty path", false, [](Context& c) { return CreateKey(c.base, TEXT("")); }},
    {"create with a trailing backslash", true,
     [](Context& c) { return CreateKey(c.base, TEXT("Trailing\\")); }},
    {"create with a leading backslash", true,
     [](Context& c) { return CreateKey(c.base, TEXT("\\Leading")); }},
    {"create with an empty component", true,
     [](Context& c) { return CreateKey(c.base, TEXT("Empty\\\\Component")); }},
    // The platform's documented limits: 255 characters in a key name, 16,383
    // in a value name, 512 levels of keys. Wine enforces only the value
    // name's; the host layer refuses the rest too (ERROR_INVALID_PARAMETER).
    {"create a key name of 255 characters", true,
     [](Context& c) { return CreateKey(c.base, WideText(255, 'k')); }},
    {"create a key name of 256 characters", false,
     [](Context& c) { return CreateKey(c.base, WideText(256, 'k')); }},
    {"create a key 512 levels deep", true,
     [](Context& c) { return CreateKey(c.base, LevelsBelow(c.basePath, 512)); }},
    {"create a key 513 levels deep", false,
     [](Context& c) { return CreateKey(c.base, LevelsBelow(c.basePath, 513)); }},
    {"value name of 16,383 characters", true,
     [](Context& c) {
         return SetAndRead(c.base, WideText(16383, 'v').c_str(), REG_BINARY, Bytes(1, 7));
     }},
    {"value name of 16,384 characters", true,
     [](Context& c) {
         return SetAndRead(c.base, WideText(16384, 'v').c_str(), REG_BINARY, Bytes(1, 7));
     }},
    {"value set through one spelling, read through another", true,
     [](Context& c) {
         HKEY lower = NULL;
         HKEY upper = NULL;
         RegCreateKeyExW(c.base, TEXT("child"), 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                         NULL, &lower, NULL);
         RegCreateKeyExW(c.base, TEXT("CHILD"), 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                         NULL, &upper, NULL);
         Set(lower, TEXT("Shared"), REG_BINARY, Bytes{1, 2, 3});
         std::string out = Query(upper, TEXT("Shared"), 8);
         RegCloseKey(upper);
         RegCloseKey(lower);
         return out;
     }},

    // A text with its NUL, read every way.
    {"set a text", true,
     [](Context& c) {
         return Status(Set(c.base, TEXT("Text"), REG_SZ, TextBytes(TEXT("1"), true)));
     }},
    {"query with no buffer", true,
     [](Context& c) { return Query(c.base, TEXT("Text"), NoBuffer); }},
    {"query with no buffer and no size", true,
     [](Context& c) { return Query(c.base, TEXT("Text"), NoBuffer, true, false); }},
    {"query with neither type nor size", true,
     [](Context& c) { return Query(c.base, TEXT("Text"), NoBuffer, false, false); }},
    {"query with a buffer but no size", true,
     [](Context& c) { return Query(c.base, TEXT("Text"), 8, true, false); }},
    {"query with a zero-size buffer", true,
     [](Context& c) { return Query(c.base, TEXT("Text"), 0); }},
    {"query with a buffer one byte short", true,
     [](Context& c) { return Query(c.base, TEXT("Text"), 3); }},
    {"query with an exact buffer", true, [](Context& c) { return Query(c.base, TEXT("Text"), 4); }},
    {"query with a larger buffer", true,
     [](Context& c) { return Query(c.base, TEXT("Text"), 64); }},
    {"query in another case", true, [](Context& c) { return Query(c.base, TEXT("TEXT"), 64); }},
    {"query an absent value", true, [](Context& c) { return Query(c.base, TEXT("Absent"), 64); }},
    {"query an absent value with no buffer", true,
     [](Context& c) { return Query(c.base, TEXT("Absent"), NoBuffer); }},

    // Texts of every shape.
    {"text without a NUL", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("NoNul"), REG_SZ, TextBytes(TEXT("12"), false));
     }},
    {"text without a NUL, exact buffer", true,
     [](Context& c) { return Query(c.base, TEXT("NoNul"), 4); }},
    {"text with data after the NUL", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("AfterNul"), REG_SZ,
                           TextBytes(WideText(TEXT("1\0ab"), 4), true));
     }},
    {"text of zero bytes", true,
     [](Context& c) { return SetAndRead(c.base, TEXT("EmptyText"), REG_SZ, Bytes()); }},
    {"text of an odd size", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("OddText"), REG_SZ, Bytes{0x31, 0x00, 0x32});
     }},
    {"text of one byte", true,
     [](Context& c) { return SetAndRead(c.base, TEXT("OneByte"), REG_SZ, Bytes{0x31}); }},
    {"text of a NUL only", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("NulOnly"), REG_SZ, Bytes{0, 0});
     }},
    {"text beyond the first plane", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Surrogates"), REG_SZ,
                           Bytes{0x3d, 0xd8, 0xa1, 0xdc, 0x00, 0x00});
     }},
    {"text with a line break", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Lines"), REG_SZ, TextBytes(TEXT("a\r\nb"), true));
     }},
    // The desktop registry adds a NUL it finds just past the counted bytes.
    {"text whose NUL lies just past its size", false,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("ForgottenNul"), REG_SZ, TextBytes(TEXT("12"), false),
                           true);
     }},
    {"expandable text", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Expand"), REG_EXPAND_SZ, TextBytes(TEXT("%PATH%"), true));
     }},
    {"multi-text", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Multi"), REG_MULTI_SZ,
                           TextBytes(WideText(TEXT("a\0bc\0"), 5), true));
     }},

    // Numbers, bytes and other types.
    {"dword", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Number"), REG_DWORD, Bytes{1, 0, 0, 0});
     }},
    {"dword of two bytes", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("ShortNumber"), REG_DWORD, Bytes{1, 0});
     }},
    {"big-endian dword", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("BigEndian"), REG_DWORD_BIG_ENDIAN, Bytes{0, 0, 0, 1});
     }},
    {"qword", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Quad"), REG_QWORD, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
     }},
    {"binary", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Binary"), REG_BINARY, Bytes{0x00, 0xff, 0x31, 0x00, 0x0a});
     }},
    {"binary of zero bytes", true,
     [](Context& c) { return SetAndRead(c.base, TEXT("EmptyBinary"), REG_BINARY, Bytes()); }},
    {"binary of an odd size", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("OddBinary"), REG_BINARY, Bytes{1, 2, 3});
     }},
    {"no type", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("None"), REG_NONE, Bytes{0x31, 0x00});
     }},
    {"a type of no name", true,
     [](Context& c) {
         return SetAndRead(c.base, TEXT("Unknown"), 0x1234, Bytes{9, 8, 7});
     }},
    {"a large value", true,
     [](Context& c) {
         Bytes large(70000);
         for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<BYTE>(i * 7);
         const LONG status = Set(c.base, TEXT("Large"), REG_BINARY, large);
         return Status(status) + ", then " + Query(c.base, TEXT("Large"), NoBuffer);
     }},

    // Names and changes.
    {"the default value", true,
     [](Context& c) {
         const LONG status = Set(c.base, NULL, REG_SZ, TextBytes(TEXT("d"), true));
         return Status(status) + ", then " + Query(c.base, TEXT(""), 16);
     }},
    {"a name beyond ASCII, read in another case", true,
     [](Context& c) {
         const LONG status = Set(c.base, TEXT("\u00c4rger"), REG_BINARY, Bytes{1});
         return Status(status) + ", then " + Query(c.base, TEXT("\u00e4RGER"), 16);
     }},
    {"a name with a backslash", true,
     [](Context& c) { return SetAndRead(c.base, TEXT("Back\\slash"), REG_BINARY, Bytes{2}); }},
    {"a text replaced by a dword", true,
     [](Context& c) {
         Set(c.base, TEXT("Changing"), REG_SZ, TextBytes(TEXT("one"), true));
         return SetAndRead(c.base, TEXT("CHANGING"), REG_DWORD, Bytes{2, 0, 0, 0});
     }},
    {"delete a value", true,
     [](Context& c) {
         const LONG status = RegDeleteValueW(c.base, TEXT("changing"));
         return Status(status) + ", then " + Query(c.base, TEXT("Changing"), 16);
     }},
    {"delete it again", true,
     [](Context& c) { return Status(RegDeleteValueW(c.base, TEXT("Changing"))); }},
    {"close the key", true, [](Context& c) { return Status(RegCloseKey(c.base)); }},
};

}  // namespace

int main(int argc, char** argv) {
    Context context;
    const char* path = argc > 1 ? argv[1] : "Software\\Lumivarden Conformance";
    for (const char* p = path; *p != 0; ++p) context.basePath.push_back(static_cast<WCHAR>(*p));
    for (const Case& c : Cases) Print(c.name, c.compared, c.run(context));
    return 0;
}
