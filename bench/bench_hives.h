// The hive files the benchmark launches against, written in the platform
// editor's own format.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// `values` values of other programs, `perKey` to a key ("Software\Vendor\AppN"),
// alternately a short text and 16 bytes of binary data, plus the lamp's key.
// Returns the file's size.
std::size_t WriteSeededHive(const std::string& folder, int values, int perKey);

// A hive shaped like the editor's export of a real branch, about `bytes` long:
// many keys nested a few levels deep under GUID-like and path-like names,
// most with a handful of values or none, of every common type (paths, numbers,
// expandable texts, text lists, binary data wrapped over lines), plus the
// lamp's key. Returns the file's size.
std::size_t WriteEditorLikeHive(const std::string& folder, std::size_t bytes);

}  // namespace bench
