// The hive file as it is, with an index over its text: each key, hashed by its
// folded path, with the places of its sections. A key's values are read from
// its own sections when asked for, and an edit (hive_edit.h) rewrites only the
// lines it concerns, so every other byte of the file stays as it was.
#ifndef LUMIVARDEN_POSIX_HIVE_DOCUMENT_H
#define LUMIVARDEN_POSIX_HIVE_DOCUMENT_H

#include <cstdint>
#include <vector>

#include "byte_buffer.h"
#include "hash_index.h"
#include "hive.h"
#include "names.h"

namespace lumivarden::host {

// Places in the text are counted in UTF-16 code units from the start of the
// file, the byte-order mark being unit 0.
struct Span {
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
};

struct KeyEntry {
    std::uint32_t parent = NoEntry;  // NoEntry for the root
    Span name;                       // the last component, as a section line spells it
    std::uint64_t hash = 0;          // of the whole path, folded
    // The key's sections in file order; NoEntry while no section names the
    // key (it is there only as the parent of others).
    std::uint32_t firstSection = NoEntry;
    std::uint32_t lastSection = NoEntry;
};

struct Section {
    // From the line after the section's own to past its last value line,
    // which is where a new value of the key goes.
    Span lines;
    std::uint32_t next = NoEntry;  // the key's next section
};

// One value line, as found in its key's sections.
struct ValueLine {
    Span line;           // from the line's first unit to past its last line break
    Span name;           // between the quotes, escapes as written; empty for the default value
    std::uint32_t data;  // the first unit of the data: '"', "dword:" or "hex"
    std::uint32_t type;
};

struct HiveDocument {
    ByteBuffer bytes;  // the file: a byte-order mark, then UTF-16LE text

    // Valid only while `indexed`; an edit clears it.
    bool indexed = false;
    std::vector<KeyEntry> keys;  // the root first, a parent before its children
    std::vector<Section> sections;
    HashIndex keyIndex;  // path -> key
};

// Makes the document a hive with no keys and no values, indexed.
bool MakeEmptyHive(HiveDocument& document);

// Checks the whole file and indexes it. False when the file is not a
// well-formed export of HKEY_CURRENT_USER within the platform's limits.
bool IndexHive(HiveDocument& document);

// NoEntry when the key (a valid path below the root) is not there.
std::uint32_t FindKey(const HiveDocument& document, TextView path);

// The key's child of that name, or NoEntry.
std::uint32_t FindChild(const HiveDocument& document, std::uint32_t parent, TextView name);

// The key's value lines in file order, a name given more than once included.
std::vector<ValueLine> ValueLinesOf(const HiveDocument& document, std::uint32_t key);

// The line that counts for the name, the last that gives it; false when none does.
bool FindValue(const HiveDocument& document, std::uint32_t key, TextView name, ValueLine* found);

bool NameIs(const HiveDocument& document, const ValueLine& value, TextView name);

// The path of a key with the spelling of the sections that name it.
Text KeyPathOf(const HiveDocument& document, std::uint32_t key);

Text ValueNameOf(const HiveDocument& document, const ValueLine& value);

// The value's data, decoded from its line.
Bytes ValueData(const HiveDocument& document, const ValueLine& value);

// The whole hive as data: keys in the order they first appear, each value in
// the place and spelling of its first line with the type and data of its last,
// as an import of the file would leave it.
Hive ToHive(const HiveDocument& document);

}  // namespace lumivarden::host

#endif
