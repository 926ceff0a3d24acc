// The file-format table through the platform's own import: each case's file
// goes through `reg import`, and one `reg export` shows what each left. Where
// the host layer reads a file, the import must read it the same; where they
// differ, the table says what the import does (docs/registry-conformance.md
// says why the host layer does otherwise).
#include <gtest/gtest.h>

#include "file_format_cases.h"
#include "hive_file.h"
#include "wine.h"

namespace {

using lumivarden::host::Hive;
using testing_support::FileFormatCase;

// The export's lines after its header, blank ones left out: for branches the
// host layer refuses, which only the text can show.
std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    const std::string text = testing_support::HiveFileText(bytes);
    for (std::size_t start = text.find('\n'); start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

TEST(FileFormatConformanceTest, ImportReadsEachFileAsTheTableSays) {
    if (const auto why = testing_wine::Unavailable()) GTEST_SKIP() << *why;
    testing_support::TempDir work;
    const std::string root = "HKEY_CURRENT_USER\\Software\\LumivardenFormat";
    testing_wine::Run({"reg", "delete", root, "/f"}, work.path());

    for (const FileFormatCase& c : testing_support::FileFormatCases()) {
        if (!c.importable) continue;
        const std::string path = CasePath(c);
        const std::string file = work.path() + "/" + c.name + ".reg";
        testing_support::WriteFile(file, testing_support::FileFormatBytes(c, path));
        testing_wine::Run({"reg", "import", testing_wine::WindowsPath(file)}, work.path());

        const std::string exportFile = work.path() + "/" + c.name + ".export.reg";
        const std::string exported = testing_wine::ExportFile(path, exportFile, work.path())
                                         ? testing_support::ReadFile(exportFile)
                                         : testing_support::HiveFileBytes("");
        const std::string expected =
            testing_support::ExportBytes(c.importLeaves ? *c.importLeaves : *c.reads, path);
        const std::optional<Hive> exportedHive = testing_support::ParseHiveBytes(exported);
        const std::optional<Hive> expectedHive = testing_support::ParseHiveBytes(expected);
        if (exportedHive && expectedHive) {
            EXPECT_EQ(testing_support::Branch(*exportedHive, path),
                      testing_support::Branch(*expectedHive, path))
                << c.name;
        } else {
            EXPECT_EQ(Lines(exported), Lines(expected)) << c.name;
        }
    }
    testing_wine::Run({"reg", "delete", root, "/f"}, work.path());
}

}  // namespace
