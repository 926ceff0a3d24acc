// Changes to an indexed hive document that rewrite only the lines they concern
// and copy every other byte: a changed value's line is replaced where it is, a
// new value goes below its key's last value, a new key's section goes at the
// end. Each leaves the document unindexed. They return false, changing
// nothing, when the file would grow beyond what the index can address.
#ifndef LUMIVARDEN_POSIX_HIVE_EDIT_H
#define LUMIVARDEN_POSIX_HIVE_EDIT_H

#include <cstdint>

#include "hive_document.h"

namespace lumivarden::host {

// The key must not be there yet; its path must be valid.
bool AddKey(HiveDocument& document, TextView path);

bool SetValue(HiveDocument& document, std::uint32_t key, TextView name, std::uint32_t type,
              const std::uint8_t* data, std::size_t size);

// Removes every line of the value (a name may be given more than once);
// false when the key has none.
bool DeleteValue(HiveDocument& document, std::uint32_t key, TextView name);

}  // namespace lumivarden::host

#endif
