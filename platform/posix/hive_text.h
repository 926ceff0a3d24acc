// The hive file as a whole: read into data, and written from data as the
// platform's registry editor exports a branch (version 5, UTF-16LE with a
// byte-order mark, CRLF line ends).
#ifndef LUMIVARDEN_POSIX_HIVE_TEXT_H
#define LUMIVARDEN_POSIX_HIVE_TEXT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "hive.h"

namespace lumivarden::host {

// Nothing when the bytes are not a well-formed export of HKEY_CURRENT_USER.
std::optional<Hive> ParseHive(const std::uint8_t* data, std::size_t size);

// The file's bytes; ParseHive reads them back to an equal hive.
std::string WriteHive(const Hive& hive);

}  // namespace lumivarden::host

#endif
