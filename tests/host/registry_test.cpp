// The registry functions of the host layer, over a hive file in a temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "hive_file.h"
#include "hive_store.h"
#include "locations.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using namespace std::literals;
using lumivarden::host::Bytes;
using lumivarden::host::Hive;
using testing_support::HiveFileBytes;
using testing_support::HiveFileText;
using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

class RegistryTest : public ::testing::Test {
  protected:
    std::string Folder() const { return temp / "registry"; }
    std::string HivePath() const { return Folder() + "/HKEY_CURRENT_USER.reg"; }

    HKEY Open(const char16_t* path, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }

    LONG Set(HKEY key, const char16_t* name, DWORD type, const Bytes& data) {
        return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }

    // The value's type and bytes, read with a buffer of exactly the reported size.
    std::pair<DWORD, Bytes> Get(HKEY key, const char16_t* name) {
        DWORD size = 0;
        DWORD type = 0;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
        Bytes data(size);
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, data.data(), &size), ERROR_SUCCESS);
        return {type, data};
    }

    Hive ParsedFile() const {
        const auto hive = testing_support::ReadHiveFile(HivePath());
        EXPECT_TRUE(hive.has_value());
        return hive.value_or(Hive{});
    }

    TempDir temp;
    ScopedEnv registry{"LUMIVARDEN_REGISTRY_DIR", temp / "registry"};
};

TEST_F(RegistryTest, CreatesEveryMissingKeyOnThePathOnceAndOpensItAfterwards) {
    DWORD disposition = 0;
    HKEY key = Open(u"Software\\Lumivarden", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(HiveFileText(ReadFile(HivePath())),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\Lumivarden]\n\n");

    key = Open(u"SOFTWARE\\lumivarden", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);
}

TEST_F(RegistryTest, FolderAndHiveArePrivateAndNoTemporaryFileStays) {
    RegCloseKey(Open(u"A"));
    struct stat info {};
    ASSERT_EQ(stat(Folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(HivePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        const std::string name = entry.path().filename();
        EXPECT_TRUE(name == "HKEY_CURRENT_USER.reg" || name == "HKEY_CURRENT_USER.reg.lock")
            << name;
    }
}

TEST_F(RegistryTest, QueryFollowsThePlatformsBufferRules) {
    HKEY key = Open(u"A");
    const Bytes data = {'a', 0, 'b', 0, 0, 0};
    ASSERT_EQ(Set(key, u"Value", REG_SZ, data), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"Value", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);

    Bytes small(5, 0xEE);
    size = 5;
    EXPECT_EQ(RegQueryValueExW(key, u"Value", nullptr, &type, small.data(), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);

    Bytes large(10, 0xEE);
    size = 10;
    EXPECT_EQ(RegQueryValueExW(key, u"Value", nullptr, nullptr, large.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(Bytes(large.begin(), large.begin() + 6), data);

    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key, u"Value", nullptr, &type, large.data(), nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, StoresExactlyTheGivenTypeAndBytes) {
    const std::vector<std::pair<DWORD, Bytes>> shapes = {
        {REG_SZ, {'1', 0, 0, 0}},
        {REG_SZ, {'1', 0}},
        {REG_SZ, {'1', 0, 0, 0, '2', 0}},
        {REG_SZ, {}},
        {REG_SZ, {'1', 0, 0}},
        {REG_DWORD, {1, 0, 0, 0}},
        {REG_DWORD, {1, 0}},
        {REG_BINARY, {}},
        {REG_BINARY, Bytes(200, 0x5a)},
        {REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}},
        {REG_QWORD, Bytes(8, 1)},
        {0x7fffffff, {9}},
    };
    HKEY key = Open(u"Shapes");
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const std::u16string name = u"v" + std::u16string(1, static_cast<char16_t>(u'a' + i));
        ASSERT_EQ(Set(key, name.c_str(), shapes[i].first, shapes[i].second), ERROR_SUCCESS);
    }
    RegCloseKey(key);

    key = Open(u"Shapes");  // a new handle reads the file afresh
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const std::u16string name = u"V" + std::u16string(1, static_cast<char16_t>(u'A' + i));
        EXPECT_EQ(Get(key, name.c_str()), shapes[i]) << "value " << i;
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesMatchWhateverTheCaseAndKeepTheirFirstSpelling) {
    HKEY key = Open(u"Software\\MixedCase");
    ASSERT_EQ(Set(key, u"Enabled", REG_SZ, {'1', 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, u"ENABLED", REG_SZ, {'2', 0, 0, 0}), ERROR_SUCCESS);
    RegCloseKey(key);
    key = Open(u"software\\mixedcase");
    EXPECT_EQ(Get(key, u"enabled").second, (Bytes{'2', 0, 0, 0}));
    RegCloseKey(key);
    EXPECT_EQ(HiveFileText(ReadFile(HivePath())),
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n"
              "[HKEY_CURRENT_USER\\Software\\MixedCase]\n\"Enabled\"=\"2\"\n\n");
}

TEST_F(RegistryTest, KeepsOtherProgramsKeysAndValues) {
    std::filesystem::create_directories(Folder());
    WriteFile(HivePath(),
              HiveFileBytes("Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_CURRENT_USER]\n@=\"root\"\n\n"
                            "[HKEY_CURRENT_USER\\Other\\App]\n"
                            "\"Text\"=\"x\"\n\"Odd\"=hex(1):31,00,00\n"
                            "\"Num\"=dword:00000007\n\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"
                            "\"Empty\"=hex(0):\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Lumivarden]\n\"Other\"=hex:ff\n\n"));
    const Hive before = ParsedFile();

    HKEY key = Open(u"Software\\Lumivarden");
    ASSERT_EQ(Set(key, u"Enabled", REG_SZ, {'1', 0, 0, 0}), ERROR_SUCCESS);
    RegCloseKey(key);

    Hive expected = before;
    lumivarden::host::SetValue(*lumivarden::host::FindKey(expected, u"Software\\Lumivarden"),
                               u"Enabled", REG_SZ, {'1', 0, 0, 0});
    EXPECT_EQ(ParsedFile(), expected);
}

TEST_F(RegistryTest, HiveThatCannotBeParsedIsNeverWritten) {
    std::filesystem::create_directories(Folder());
    const std::string garbage = HiveFileBytes("Windows Registry Editor Version 5.00\n\n[broken\n");
    WriteFile(HivePath(), garbage);

    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(ReadFile(HivePath()), garbage);
}

TEST_F(RegistryTest, HiveCorruptedWhileAKeyIsOpenIsNotOverwritten) {
    HKEY key = Open(u"A");
    const std::string garbage =
        "\xFF\xFE"
        "broken";
    WriteFile(HivePath(), garbage);
    EXPECT_EQ(Set(key, u"v", REG_SZ, {'1', 0, 0, 0}), ERROR_REGISTRY_CORRUPT);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(ReadFile(HivePath()), garbage);
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeyRemovedByAnotherProgramIsReportedAsDeleted) {
    HKEY key = Open(u"Gone");
    WriteFile(HivePath(), HiveFileBytes("Windows Registry Editor Version 5.00\n\n"));
    EXPECT_EQ(Set(key, u"v", REG_SZ, {'1', 0, 0, 0}), ERROR_KEY_DELETED);
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueriesSeeAnotherProgramsChangeOfTheSameSize) {
    HKEY key = Open(u"A");
    ASSERT_EQ(Set(key, u"v", REG_SZ, {'1', 0, 0, 0}), ERROR_SUCCESS);
    EXPECT_EQ(Get(key, u"v").second, (Bytes{'1', 0, 0, 0}));  // parsed once, now reused
    const std::string before = ReadFile(HivePath());
    std::string after = before;
    after[after.find(std::string("\"\0"
                                 "1\0\"\0",
                                 6)) +
          2] = '2';
    ASSERT_EQ(after.size(), before.size());
    // In place, and within the same clock tick as far as the file can tell:
    // same file, same size, same modification time.
    struct stat old {};
    ASSERT_EQ(stat(HivePath().c_str(), &old), 0);
    WriteFile(HivePath(), after);
    const timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, HivePath().c_str(), times, 0), 0);
    EXPECT_EQ(Get(key, u"v").second, (Bytes{'2', 0, 0, 0}));
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletesOneValue) {
    HKEY key = Open(u"A");
    Set(key, u"keep", REG_DWORD, {1, 0, 0, 0});
    Set(key, u"drop", REG_DWORD, {2, 0, 0, 0});
    EXPECT_EQ(RegDeleteValueW(key, u"DROP"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, u"drop"), ERROR_FILE_NOT_FOUND);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"drop", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(key, u"keep").second, (Bytes{1, 0, 0, 0}));
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeyPathsAreReadAsThePlatformReadsThem) {
    struct PathCase {
        const char16_t* path;
        LONG status;
        const char16_t* sameKeyAs;  // the key opened, as a plain path from the root
    };
    for (const PathCase& c : std::initializer_list<PathCase>{
             {u"\\A", ERROR_BAD_PATHNAME, nullptr},
             {u"A\nB", ERROR_INVALID_PARAMETER, nullptr},
             {u"A\\", ERROR_SUCCESS, u"Software\\A"},
             {u"A\\\\B\\\\", ERROR_SUCCESS, u"Software\\A\\B"},
             {u"", ERROR_SUCCESS, u"Software"},
         }) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
        HKEY parent = Open(u"Software");
        HKEY key = nullptr;
        ASSERT_EQ(
            RegCreateKeyExW(parent, c.path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            c.status);
        if (c.status == ERROR_SUCCESS) {
            ASSERT_EQ(Set(key, u"marker", REG_BINARY, {7}), ERROR_SUCCESS);
            HKEY same = Open(c.sameKeyAs);
            EXPECT_EQ(Get(same, u"marker").second, (Bytes{7}));
            RegDeleteValueW(key, u"marker");
            RegCloseKey(same);
            RegCloseKey(key);
        }
        RegCloseKey(parent);
    }
    ParsedFile();  // refuses a key path with an empty component
}

TEST_F(RegistryTest, RefusesWhatTheFileCannotHold) {
    HKEY key = Open(u"A");
    EXPECT_EQ(Set(key, u"line\nbreak", REG_SZ, {0, 0}), ERROR_INVALID_PARAMETER);
    // The platform's limits, which a file must keep to be read back.
    EXPECT_EQ(Set(key, std::u16string(16383, u'v').c_str(), REG_SZ, {0, 0}), ERROR_SUCCESS);
    EXPECT_EQ(Set(key, std::u16string(16384, u'v').c_str(), REG_SZ, {0, 0}),
              ERROR_INVALID_PARAMETER);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(key, std::u16string(256, u'k').c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &child, nullptr),
              ERROR_INVALID_PARAMETER);
    std::u16string deep = u"d";
    for (int level = 3; level <= 513; ++level) deep += u"\\d";  // below A: levels 2 to 513
    EXPECT_EQ(
        RegCreateKeyExW(key, deep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
        ERROR_INVALID_PARAMETER);
    deep.resize(deep.size() - 2);  // 512 levels
    ASSERT_EQ(
        RegCreateKeyExW(key, deep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(child);
    ParsedFile();  // and the file reads back
    EXPECT_EQ(RegSetValueExW(key, u"v", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(&key)), ERROR_INVALID_HANDLE);
}

// A closed key is gone: using or closing it again is refused, never a read of
// the memory it had.
TEST_F(RegistryTest, ClosedKeyIsRefusedAfterwards) {
    HKEY key = Open(u"A");
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Set(key, u"v", REG_SZ, {0, 0}), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, FolderThatIsAFileFailsAndIsLeftAlone) {
    WriteFile(Folder(), "not a folder");
    HKEY key = nullptr;
    EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, u"A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(Folder()), "not a folder");
}

TEST_F(RegistryTest, HiveThatIsASymbolicLinkIsNotFollowed) {
    std::filesystem::create_directories(Folder());
    const std::string elsewhere = temp / "elsewhere.reg";
    const std::string original = HiveFileBytes("Windows Registry Editor Version 5.00\n\n");
    WriteFile(elsewhere, original);
    std::filesystem::create_symlink(elsewhere, HivePath());
    HKEY key = nullptr;
    EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, u"A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(elsewhere), original);
}

TEST(RegistryDirectory, FollowsTheUsualStateFolders) {
    const struct {
        std::optional<std::string> own, state, home;
        std::string expected;
    } cases[] = {
        {"/own", "/state", "/home/u", "/own"},
        {std::nullopt, "/state", "/home/u", "/state/lumivarden/registry"},
        {"", "", "/home/u", "/home/u/.local/state/lumivarden/registry"},
        {std::nullopt, "relative", "/home/u", "/home/u/.local/state/lumivarden/registry"},
    };
    for (const auto& c : cases) {
        ScopedEnv own("LUMIVARDEN_REGISTRY_DIR", c.own);
        ScopedEnv state("XDG_STATE_HOME", c.state);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(lumivarden::host::RegistryDirectory(), c.expected);
    }
}

}  // namespace
