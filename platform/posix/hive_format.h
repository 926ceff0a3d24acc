// Lines of the hive file as the platform's registry editor writes them.
#ifndef LUMIVARDEN_POSIX_HIVE_FORMAT_H
#define LUMIVARDEN_POSIX_HIVE_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "names.h"

namespace lumivarden::host {

// "[HKEY_CURRENT_USER\path]" and the line break.
void AppendSectionLine(Text& out, TextView path, TextView lineBreak);

// @= or "name"=, then "text" for a REG_SZ that reads back as the very same
// bytes, dword: for a 4-byte REG_DWORD, else hex: or hex(type): with lines
// wrapped within 80 columns; then the line break, which also ends each
// wrapped line.
void AppendValueLine(Text& out, TextView name, std::uint32_t type, const std::uint8_t* data,
                     std::size_t size, TextView lineBreak);

}  // namespace lumivarden::host

#endif
