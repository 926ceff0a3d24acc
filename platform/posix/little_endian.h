// Little-endian fields and UTF-16LE text, as the hive file and the device
// frames store them.
#ifndef LUMIVARDEN_POSIX_LITTLE_ENDIAN_H
#define LUMIVARDEN_POSIX_LITTLE_ENDIAN_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumivarden::host {

inline char16_t LoadLe16(const std::uint8_t* in) {
    return static_cast<char16_t>(in[0] | (in[1] << 8));
}

inline std::uint32_t LoadLe32(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8) |
           (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

inline void StoreLe32(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
    out[3] = static_cast<std::uint8_t>(value >> 24);
}

// Appends the text's code units as UTF-16LE bytes to a byte string or vector.
template <class Out>
void AppendUtf16(Out& out, std::u16string_view text) {
    for (char16_t c : text) {
        out.push_back(static_cast<typename Out::value_type>(c & 0xFF));
        out.push_back(static_cast<typename Out::value_type>(c >> 8));
    }
}

}  // namespace lumivarden::host

#endif
