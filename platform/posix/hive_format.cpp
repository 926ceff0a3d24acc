#include "hive_format.h"

#include "little_endian.h"
#include "winapi.h"

namespace lumivarden::host {
namespace {

// The editor breaks a hex list after the comma that takes a line past this
// column, so that with the backslash no line is wider than 80.
constexpr std::size_t HexWrapColumn = 76;

void AppendAscii(Text& out, std::string_view text) {
    for (char c : text) out.push_back(static_cast<char16_t>(c));
}

void AppendQuoted(Text& out, TextView text) {
    out.push_back(u'"');
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"') out.push_back(u'\\');
        out.push_back(c);
    }
    out.push_back(u'"');
}

void AppendHex(Text& out, std::uint32_t number, int digits) {
    static const char kDigits[] = "0123456789abcdef";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        out.push_back(static_cast<char16_t>(kDigits[(number >> shift) & 0xF]));
    }
}

// The text of a REG_SZ whose bytes are one text and its NUL, with no line break.
bool PlainText(std::uint32_t type, const std::uint8_t* data, std::size_t size, Text* text) {
    if (type != REG_SZ || size < 2 || size % 2 != 0) return false;
    if (data[size - 2] != 0 || data[size - 1] != 0) return false;
    text->clear();
    for (std::size_t i = 0; i + 2 < size; i += 2) {
        const char16_t c = LoadLe16(data + i);
        if (c == 0 || c == u'\r' || c == u'\n') return false;
        text->push_back(c);
    }
    return true;
}

}  // namespace

void AppendSectionLine(Text& out, TextView path, TextView lineBreak) {
    AppendAscii(out, "[HKEY_CURRENT_USER");
    if (!path.empty()) {
        out.push_back(u'\\');
        out.append(path);
    }
    out.push_back(u']');
    out.append(lineBreak);
}

void AppendValueLine(Text& out, TextView name, std::uint32_t type, const std::uint8_t* data,
                     std::size_t size, TextView lineBreak) {
    std::size_t lineStart = out.size();
    if (name.empty()) {
        out.push_back(u'@');
    } else {
        AppendQuoted(out, name);
    }
    out.push_back(u'=');

    Text text;
    if (PlainText(type, data, size, &text)) {
        AppendQuoted(out, text);
    } else if (type == REG_DWORD && size == 4) {
        AppendAscii(out, "dword:");
        AppendHex(out, LoadLe32(data), 8);
    } else {
        if (type == REG_BINARY) {
            AppendAscii(out, "hex:");
        } else {
            int digits = 1;
            while (digits < 8 && (type >> (4 * digits)) != 0) ++digits;
            AppendAscii(out, "hex(");
            AppendHex(out, type, digits);
            AppendAscii(out, "):");
        }
        for (std::size_t i = 0; i < size; ++i) {
            AppendHex(out, data[i], 2);
            if (i + 1 == size) break;
            out.push_back(u',');
            if (out.size() - lineStart > HexWrapColumn) {
                out.push_back(u'\\');
                out.append(lineBreak);
                lineStart = out.size();
                AppendAscii(out, "  ");
            }
        }
    }
    out.append(lineBreak);
}

}  // namespace lumivarden::host
