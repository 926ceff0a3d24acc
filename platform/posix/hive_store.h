// The only two ways to touch the hive file: a read, and an
// update that is atomic and durable.
#ifndef LUMIVARDEN_POSIX_HIVE_STORE_H
#define LUMIVARDEN_POSIX_HIVE_STORE_H

#include <functional>
#include <memory>
#include <string>

#include "hive_document.h"
#include "winapi.h"

namespace lumivarden::host {

// The hive as it is on disk, indexed, shared and read-only; a missing file is
// an empty hive. Fails with ERROR_REGISTRY_CORRUPT when the file cannot be
// parsed and with ERROR_REGISTRY_IO_FAILED when it cannot be read.
LONG LoadHive(std::shared_ptr<const HiveDocument>* hive);

// Edits the indexed document (hive_edit.h) and sets *changed when it must be
// written back; a status other than ERROR_SUCCESS abandons the update.
using HiveChange = std::function<LONG(HiveDocument& hive, bool* changed)>;

// Under the hive's lock: reads the hive afresh, applies the change and, when it
// changed anything, replaces the file atomically and durably. A hive that
// cannot be parsed is never written.
LONG UpdateHive(const HiveChange& change);

}  // namespace lumivarden::host

#endif
