// Hive files in the forms that files in the wild take, with what the host
// layer reads from each and what the platform's import (`reg import`, under
// Wine) makes of it. The host tests check the first column, the Wine tests the
// second; docs/registry-conformance.md explains each difference.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "hive.h"

namespace testing_support {

struct FileFormatCase {
    const char* name;
    // The file's text after the header, "$P" standing for the key path the
    // case writes below (Software\F, say) and "\n" for the case's line break.
    std::string body;
    // The branch $P as an export writes it, or nothing when the host layer
    // refuses the file.
    std::optional<std::string> reads;
    // What the import leaves in $P where it differs from `reads`: an export
    // of $P, empty when it leaves nothing there.
    std::optional<std::string> importLeaves = std::nullopt;
    const char* lineBreak = "\r\n";
    const char* header = "Windows Registry Editor Version 5.00";
    // Cases that would write elsewhere in the registry, or that the import
    // cannot take at all, are not imported.
    bool importable = true;
};

inline void PrintTo(const FileFormatCase& c, std::ostream* out) {
    *out << c.name;
}

const std::vector<FileFormatCase>& FileFormatCases();

// Where a case's keys go: "Software\LumivardenFormat\<name>", three levels
// below the root, as the cases on the tree's depth count.
std::string CasePath(const FileFormatCase& c);

// The case's file, its keys below `path` (a key path below HKEY_CURRENT_USER).
std::string FileFormatBytes(const FileFormatCase& c, const std::string& path);

// An export's text of the branch, with "$P" standing for `path`, as a file.
std::string ExportBytes(const std::string& text, const std::string& path);

// The keys at and below `path`, with their values; paths as given, below it.
lumivarden::host::Hive Branch(const lumivarden::host::Hive& hive, const std::string& path);

}  // namespace testing_support
