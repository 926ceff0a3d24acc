// Changes through the registry functions touch only their own lines: every
// other byte of the file (other programs' spelling, wrapping, comments, blank
// lines, line ends) stays, and what is written is what the platform's editor
// would write.
#include <gtest/gtest.h>

#include <functional>

#include "hive.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using lumivarden::host::Bytes;
using testing_support::HiveFileBytes;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

// One change: set (name and data given), delete (name only) or create a key.
struct Edit {
    const char16_t* key;
    const char16_t* name = nullptr;
    Bytes data = {};
    DWORD type = REG_SZ;
    bool remove = false;
};

Edit Text(const char16_t* key, const char16_t* name, const std::u16string& text) {
    Bytes data;
    for (char16_t c : text) data.insert(data.end(), {static_cast<std::uint8_t>(c), 0});
    data.insert(data.end(), {0, 0});
    return Edit{key, name, data};
}

struct EditCase {
    const char* name;
    std::string before;  // after the header; "\n" is CRLF unless `crlf` is false
    std::vector<Edit> edits;
    std::string after;
    bool crlf = true;
};

void PrintTo(const EditCase& c, std::ostream* out) {
    *out << c.name;
}

class HiveEditTest : public ::testing::TestWithParam<EditCase> {
  protected:
    TempDir temp;
    ScopedEnv registry{"LUMIVARDEN_REGISTRY_DIR", temp.path()};
};

std::string File(const std::string& body, bool crlf) {
    return HiveFileBytes("Windows Registry Editor Version 5.00\n\n" + body, crlf);
}

TEST_P(HiveEditTest, ChangesOnlyItsOwnLines) {
    const EditCase& c = GetParam();
    const std::string hive = temp.path() + "/HKEY_CURRENT_USER.reg";
    WriteFile(hive, File(c.before, c.crlf));
    for (const Edit& edit : c.edits) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, edit.key, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (edit.remove) {
            EXPECT_EQ(RegDeleteValueW(key, edit.name), ERROR_SUCCESS);
        } else if (edit.name != nullptr) {
            EXPECT_EQ(RegSetValueExW(key, edit.name, 0, edit.type, edit.data.data(),
                                     static_cast<DWORD>(edit.data.size())),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }
    EXPECT_EQ(testing_support::HiveFileText(ReadFile(hive)),
              testing_support::HiveFileText(File(c.after, c.crlf)));
    EXPECT_EQ(ReadFile(hive), File(c.after, c.crlf));
}

const std::string A = "[HKEY_CURRENT_USER\\A]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, HiveEditTest,
    ::testing::Values(
        EditCase{"ReplacesOnlyItsOwnLine",
                 "; kept\n[HKEY_CURRENT_USER]\n\n" + A +
                     "\"x\"  =  hex:01,\\\n    02\n\"v\"=\"1\"\n\"y\"=dword:1 ; note\n\n",
                 {Text(u"A", u"v", u"2")},
                 "; kept\n[HKEY_CURRENT_USER]\n\n" + A +
                     "\"x\"  =  hex:01,\\\n    02\n\"v\"=\"2\"\n\"y\"=dword:1 ; note\n\n"},
        EditCase{"NewValueGoesBelowTheKeysLastValue",
                 A + "\"x\"=\"1\"\n; about B\n\n[HKEY_CURRENT_USER\\B]\n",
                 {Text(u"A", u"new", u"n")},
                 A + "\"x\"=\"1\"\n\"new\"=\"n\"\n; about B\n\n[HKEY_CURRENT_USER\\B]\n"},
        EditCase{"NewValueOfAnEmptySectionGoesBelowIt",
                 A + "\n[HKEY_CURRENT_USER\\B]\n",
                 {Text(u"A", u"v", u"1")},
                 A + "\"v\"=\"1\"\n\n[HKEY_CURRENT_USER\\B]\n"},
        EditCase{
            "NewKeyIsAppendedWithItsMissingParents",
            A + "\"x\"=\"1\"\n",
            {Edit{u"A\\B\\C"}},
            A + "\"x\"=\"1\"\n\n[HKEY_CURRENT_USER\\A\\B]\n\n[HKEY_CURRENT_USER\\A\\B\\C]\n\n"},
        EditCase{
            "ParentsThereKeepTheirSpelling",
            "[HKEY_CURRENT_USER\\SOFTWARE\\X]\n\n",
            {Edit{u"software\\Lumivarden"}},
            "[HKEY_CURRENT_USER\\SOFTWARE\\X]\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Lumivarden]\n\n"},
        EditCase{"KeyKnownOnlyAsAParentGetsASection",
                 "[HKEY_CURRENT_USER\\A\\B]\n\n",
                 {Text(u"A", u"v", u"1")},
                 "[HKEY_CURRENT_USER\\A\\B]\n\n" + A + "\"v\"=\"1\"\n\n"},
        EditCase{"ValueAfterALastLineWithoutLineEnd",
                 A + "\"x\"=\"1\"",
                 {Text(u"A", u"v", u"1")},
                 A + "\"x\"=\"1\"\n\"v\"=\"1\"\n"},
        EditCase{"LastLineWithoutLineEndKeepsIt",
                 A + "\"x\"=\"1\"",
                 {Text(u"A", u"x", u"2")},
                 A + "\"x\"=\"2\""},
        EditCase{"LineFeedsStayLineFeeds",
                 A + "\"x\"=\"1\"\n",
                 {Edit{u"A", u"y", Bytes(30, 0xab), REG_BINARY}, Edit{u"B"}},
                 A + "\"x\"=\"1\"\n\"y\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,"
                     "ab,ab,ab,ab,ab,ab,\\\n  ab,ab,ab,ab,ab,ab,ab\n\n[HKEY_CURRENT_USER\\B]\n\n",
                 false},
        // Lines end within 80 columns, as the editor wraps them: here at 80 exactly.
        EditCase{"HexWrapsAsTheEditorWrapsIt",
                 A,
                 {Edit{u"A", u"abc", Bytes(60, 0xab), REG_BINARY}},
                 A + "\"abc\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,"
                     "ab,ab,\\\n  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,"
                     "ab,ab,ab,ab,\\\n  ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab\n"},
        EditCase{"SetRewritesTheLineThatCounts",
                 A + "\"v\"=\"1\"\n\"V\"=\"2\"\n",
                 {Text(u"A", u"v", u"3")},
                 A + "\"v\"=\"1\"\n\"V\"=\"3\"\n"},
        EditCase{"DeleteRemovesEveryLineOfTheName",
                 A + "\"v\"=\"1\"\n\"x\"=\"1\"\n" + A + "\"V\"=hex:01,\\\n  02\n\"y\"=\"1\"\n",
                 {Edit{u"A", u"v", {}, REG_SZ, true}},
                 A + "\"x\"=\"1\"\n" + A + "\"y\"=\"1\"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
