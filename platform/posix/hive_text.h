// The hive file's text: the registry editor's export format, version 5, in
// UTF-16LE with a byte-order mark and CRLF line ends.
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
