// The hive reader on files in the forms found in the wild: what it reads from
// each, or that it refuses it. The same table runs through the platform's
// import in tests/windows/file_format_conformance_test.cpp.
#include <gtest/gtest.h>

#include "file_format_cases.h"
#include "hive_file.h"

namespace {

using lumivarden::host::Hive;
using testing_support::FileFormatCase;

class FileFormatTest : public ::testing::TestWithParam<FileFormatCase> {};

TEST_P(FileFormatTest, ReadsAsTheTableSays) {
    const FileFormatCase& c = GetParam();
    const std::string path = testing_support::CasePath(c);
    const std::optional<Hive> read =
        testing_support::ParseHiveBytes(testing_support::FileFormatBytes(c, path));
    if (!c.reads) {
        EXPECT_FALSE(read.has_value());
        return;
    }
    ASSERT_TRUE(read.has_value());
    const std::optional<Hive> expected =
        testing_support::ParseHiveBytes(testing_support::ExportBytes(*c.reads, path));
    ASSERT_TRUE(expected.has_value()) << "the expected export does not parse";
    EXPECT_EQ(testing_support::Branch(*read, path), testing_support::Branch(*expected, path));
}

INSTANTIATE_TEST_SUITE_P(Cases, FileFormatTest,
                         ::testing::ValuesIn(testing_support::FileFormatCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
