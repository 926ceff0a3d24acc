// The hive file between the host layer and the platform's own registry tools:
// a hive the host layer writes imports with `reg import`, and a file that
// `reg export` writes is read by the host layer value for value.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "hive_file.h"
#include "winapi.h"
#include "wine.h"

namespace {

using lumivarden::host::Bytes;
using lumivarden::host::HiveValue;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::Utf16Bytes;

std::u16string Widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

class HiveTravelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const auto why = testing_wine::Unavailable()) GTEST_SKIP() << *why;
    }

    void TearDown() override {
        if (testing_wine::Unavailable()) return;
        testing_wine::Run({"reg", "delete", "HKEY_CURRENT_USER\\" + travelKey, "/f"}, work.path());
    }

    HKEY OpenHostKey(const std::string& path) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(path).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    TempDir work;
    const std::string travelKey = "Software\\Lumivarden Travel\\" + std::to_string(getpid()) + "\\";
};

// Shapes that Wine's reg tool itself cannot carry through an import and an
// export: it adds a NUL to string-typed data that lacks one (and its export then
// drops the last character), writes a REG_SZ only up to its first NUL, and
// writes any REG_DWORD as four bytes. For these only the host's own file can be
// checked.
bool WineKeepsExactly(const HiveValue& value) {
    const Bytes& d = value.data;
    const std::size_t size = d.size();
    if (value.type == REG_DWORD) return size == 4;
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ && value.type != REG_MULTI_SZ) {
        return true;
    }
    if (size < 2 || size % 2 != 0 || d[size - 1] != 0 || d[size - 2] != 0) return false;
    for (std::size_t i = 0; value.type == REG_SZ && i + 2 < size; i += 2) {
        if (d[i] == 0 && d[i + 1] == 0) return false;
    }
    return true;
}

TEST_F(HiveTravelTest, HostHiveImportsWithEveryValueIntact) {
    const std::vector<HiveValue> values{
        {u"Text", REG_SZ, Utf16Bytes(u"1", true)},
        {u"", REG_SZ, Utf16Bytes(u"the default value", true)},
        {u"Quoted", REG_SZ, Utf16Bytes(u"say \"hi\" \\ back", true)},
        {u"Long text", REG_SZ, Utf16Bytes(std::u16string(300, u'x'), true)},
        {u"Lines", REG_SZ, Utf16Bytes(u"a\r\nb", true)},
        {u"\u00c4rger", REG_SZ, Utf16Bytes(u"gr\u00f6\u00dfe \U0001F4A1", true)},
        {u"Empty text", REG_SZ, Utf16Bytes(u"", true)},
        {u"After NUL", REG_SZ, Utf16Bytes(std::u16string(u"1\0ab", 4), true)},
        {u"Expand", REG_EXPAND_SZ, Utf16Bytes(u"%PATH%;x", true)},
        {u"Multi", REG_MULTI_SZ, Utf16Bytes(std::u16string(u"a\0bc\0", 5), true)},
        {u"Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {u"Short number", REG_DWORD, {1, 0}},
        {u"Quad", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {u"Binary", REG_BINARY, Bytes(200, 0xab)},
        {u"Empty binary", REG_BINARY, {}},
        {u"None", REG_NONE, {0x31, 0x00}},
        {u"Unnamed type", 0x1234, {9, 8, 7}},
        // String-typed data without its NUL.
        {u"No NUL", REG_SZ, Utf16Bytes(u"12", false)},
        {u"Odd", REG_SZ, {0x31, 0x00, 0x32}},
        {u"Zero bytes", REG_SZ, {}},
        {u"Multi without NUL", REG_MULTI_SZ, Utf16Bytes(u"a", false)},
    };
    const std::string keyPath = travelKey + "FromHost";
    {
        ScopedEnv registry{"LUMIVARDEN_REGISTRY_DIR", work / "registry"};
        HKEY key = OpenHostKey(keyPath);
        for (const HiveValue& v : values) {
            ASSERT_EQ(RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(),
                                     static_cast<DWORD>(v.data.size())),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }
    const std::string hostFile = work / "registry/HKEY_CURRENT_USER.reg";
    const auto written = testing_support::ReadHiveFile(hostFile);
    ASSERT_TRUE(written.has_value());
    const auto* writtenKey = lumivarden::host::FindKey(*written, Widen(keyPath));
    ASSERT_NE(writtenKey, nullptr);

    const auto import =
        testing_wine::Run({"reg", "import", testing_wine::WindowsPath(hostFile)}, work.path());
    ASSERT_EQ(import.exitStatus, 0) << import.out << import.err;
    const auto exported = testing_wine::Export(keyPath, work.path());
    ASSERT_TRUE(exported.has_value())
        << "reg export failed or wrote a file the host cannot read:\n"
        << testing_support::HiveFileText(testing_support::ReadFile(work / "export.reg"));
    const auto* exportedKey = lumivarden::host::FindKey(*exported, Widen(keyPath));
    ASSERT_NE(exportedKey, nullptr);

    for (const HiveValue& v : values) {
        SCOPED_TRACE(testing::PrintToString(v.name));
        const HiveValue* inFile = lumivarden::host::FindValue(*writtenKey, v.name);
        ASSERT_NE(inFile, nullptr);
        EXPECT_EQ(*inFile, v) << "the host's file";
        const HiveValue* inWine = lumivarden::host::FindValue(*exportedKey, v.name);
        ASSERT_NE(inWine, nullptr) << "not imported";
        if (WineKeepsExactly(v)) {
            EXPECT_EQ(*inWine, v) << "after reg import and reg export";
        }
    }
    EXPECT_EQ(exportedKey->values.size(), values.size());
}

TEST_F(HiveTravelTest, WineExportReadsInTheHostAsTheFileStates) {
    struct Added {
        std::vector<std::string> what;  // reg add's /v (or /ve), /t and /d
        HiveValue expected;
    };
    const std::vector<Added> added{
        {{"/v", "Text", "/t", "REG_SZ", "/d", "plain"},
         {u"Text", REG_SZ, Utf16Bytes(u"plain", true)}},
        {{"/ve", "/t", "REG_SZ", "/d", "default"}, {u"", REG_SZ, Utf16Bytes(u"default", true)}},
        {{"/v", "Quoted", "/t", "REG_SZ", "/d", "say \"hi\" \\ back"},
         {u"Quoted", REG_SZ, Utf16Bytes(u"say \"hi\" \\ back", true)}},
        {{"/v", "Empty", "/t", "REG_SZ", "/d", ""}, {u"Empty", REG_SZ, Utf16Bytes(u"", true)}},
        {{"/v", "\xc3\x84rger", "/t", "REG_SZ", "/d", "gr\xc3\xb6\xc3\x9f\x65"},
         {u"\u00c4rger", REG_SZ, Utf16Bytes(u"gr\u00f6\u00dfe", true)}},
        {{"/v", "Long", "/t", "REG_SZ", "/d", std::string(200, 'y')},
         {u"Long", REG_SZ, Utf16Bytes(std::u16string(200, u'y'), true)}},
        {{"/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "%PATH%;x"},
         {u"Expand", REG_EXPAND_SZ, Utf16Bytes(u"%PATH%;x", true)}},
        {{"/v", "Multi", "/t", "REG_MULTI_SZ", "/d", "a\\0bc"},
         {u"Multi", REG_MULTI_SZ, Utf16Bytes(std::u16string(u"a\0bc\0", 5), true)}},
        {{"/v", "Number", "/t", "REG_DWORD", "/d", "0x12345678"},
         {u"Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}}},
        {{"/v", "Quad", "/t", "REG_QWORD", "/d", "0x1122334455"},
         {u"Quad", REG_QWORD, {0x55, 0x44, 0x33, 0x22, 0x11, 0, 0, 0}}},
        {{"/v", "Binary", "/t", "REG_BINARY", "/d", std::string(400, 'c')},
         {u"Binary", REG_BINARY, Bytes(200, 0xcc)}},
        {{"/v", "None", "/t", "REG_NONE"}, {u"None", REG_NONE, {0, 0}}},
    };
    const std::string keyPath = travelKey + "FromWine";
    for (const Added& a : added) {
        std::vector<std::string> command{"reg", "add", "HKCU\\" + keyPath};
        command.insert(command.end(), a.what.begin(), a.what.end());
        command.push_back("/f");
        const auto done = testing_wine::Run(command, work.path());
        ASSERT_EQ(done.exitStatus, 0) << a.what[1] << ": " << done.out << done.err;
    }
    const std::string exportFile = work / "export.reg";
    ASSERT_TRUE(testing_wine::ExportFile(keyPath, exportFile, work.path()));

    // The export becomes the host's whole hive.
    std::filesystem::create_directories(work / "registry");
    std::filesystem::copy_file(exportFile, work / "registry/HKEY_CURRENT_USER.reg");
    ScopedEnv registry{"LUMIVARDEN_REGISTRY_DIR", work / "registry"};
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Widen(keyPath).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS)
        << testing_support::HiveFileText(testing_support::ReadFile(exportFile));
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    for (const Added& a : added) {
        SCOPED_TRACE(testing::PrintToString(a.expected.name));
        DWORD type = 0;
        DWORD size = 0;
        ASSERT_EQ(RegQueryValueExW(key, a.expected.name.c_str(), nullptr, &type, nullptr, &size),
                  ERROR_SUCCESS);
        Bytes data(size);
        ASSERT_EQ(
            RegQueryValueExW(key, a.expected.name.c_str(), nullptr, &type, data.data(), &size),
            ERROR_SUCCESS);
        EXPECT_EQ((HiveValue{a.expected.name, type, data}), a.expected);
    }
    RegCloseKey(key);
}

}  // namespace
