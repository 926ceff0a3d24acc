// Whole launches of the built program, with a temporary registry folder and
// the stand-in driver.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "file_format_cases.h"
#include "hive_file.h"
#include "lamp_driver.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using lumivarden::host::Hive;
using testing_support::Finished;
using testing_support::HiveFileBytes;
using testing_support::LampDriver;
using testing_support::ReadFile;
using testing_support::RunToEnd;
using testing_support::TempDir;
using testing_support::WriteFile;

class LaunchTest : public ::testing::Test {
  protected:
    std::string Registry() const { return temp / "registry"; }
    std::string HivePath() const { return Registry() + "/HKEY_CURRENT_USER.reg"; }

    Finished Launch(std::vector<std::string> arguments = {}) {
        arguments.insert(arguments.begin(), LUMIVARDEN_PROGRAM);
        return RunToEnd(
            arguments,
            {"LUMIVARDEN_REGISTRY_DIR=" + Registry(), "LUMIVARDEN_DEVICE_DIR=" + devices},
            temp.path());
    }

    Hive ParsedHive() const {
        const auto hive = testing_support::ReadHiveFile(HivePath());
        EXPECT_TRUE(hive.has_value());
        return hive.value_or(Hive{});
    }

    // "Enabled" as it is stored: its type and bytes.
    std::pair<std::uint32_t, lumivarden::host::Bytes> Enabled() const {
        const Hive hive = ParsedHive();
        const auto* key = lumivarden::host::FindKey(hive, u"Software\\Lumivarden");
        if (key == nullptr) return {};
        const auto* value = lumivarden::host::FindValue(*key, u"Enabled");
        if (value == nullptr) return {};
        return {value->type, value->data};
    }

    TempDir temp;
    std::string devices = temp / "devices";
};

TEST_F(LaunchTest, LaunchesSwitchOnOffOnAndRememberEachState) {
    std::filesystem::create_directories(devices);
    LampDriver driver(LUMIVARDEN_LAMPD, devices, temp.path());
    const std::pair<std::uint32_t, lumivarden::host::Bytes> stored[] = {
        {REG_SZ, {'1', 0, 0, 0}}, {REG_SZ, {'2', 0, 0, 0}}, {REG_SZ, {'1', 0, 0, 0}}};
    for (const auto& expected : stored) {
        const Finished launch = Launch({"ignored", "--off"});
        EXPECT_EQ(launch.exitStatus, 0);
        EXPECT_EQ(launch.out, "");
        EXPECT_EQ(launch.err, "");
        EXPECT_EQ(Enabled(), expected);
    }
    EXPECT_EQ(driver.LampLines(), (std::vector<std::string>{"lamp on", "lamp off", "lamp on"}));
    EXPECT_EQ(driver.LogLines().front(), "open access=80000000 share=00000000 status=0");
    EXPECT_EQ(driver.LogLines()[1], "control code=90002014 input=01000000 output=0 status=0");
}

TEST_F(LaunchTest, KeepsUnrelatedKeysAndValuesOfEveryType) {
    std::filesystem::create_directories(Registry());
    WriteFile(HivePath(), HiveFileBytes("Windows Registry Editor Version 5.00\n\n"
                                        "[HKEY_CURRENT_USER]\n@=\"root default\"\n\n"
                                        "[HKEY_CURRENT_USER\\Software\\Other]\n"
                                        "\"Sz\"=\"a \\\"quoted\\\" \\\\ path\"\n"
                                        "\"SzNoNul\"=hex(1):31,00\n"
                                        "\"SzAfterNul\"=hex(1):31,00,00,00,32,00\n"
                                        "\"Odd\"=hex(1):31,00,00\n"
                                        "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
                                        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                                        "\"Dword\"=dword:deadbeef\n"
                                        "\"ShortDword\"=hex(4):01,02\n"
                                        "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n"
                                        "\"Binary\"=hex:00,ff,\\\n  80\n"
                                        "\"Empty\"=hex:\n"
                                        "\"None\"=hex(0):\n"
                                        "\"Custom\"=hex(12345678):01\n"
                                        "\"\u00c9t\u00e9\"=\"\u4e2d\u6587\"\n\n"
                                        "[HKEY_CURRENT_USER\\Software\\Lumivarden]\n"
                                        "\"Enabled\"=\"1\"\n\"Neighbour\"=dword:00000001\n\n"));
    Hive expected = ParsedHive();
    lumivarden::host::SetValue(*lumivarden::host::FindKey(expected, u"Software\\Lumivarden"),
                               u"Enabled", REG_SZ, {'2', 0, 0, 0});

    EXPECT_EQ(Launch().exitStatus, 0);
    EXPECT_EQ(ParsedHive(), expected);
}

TEST_F(LaunchTest, MalformedHiveEndsWith255AndStaysByteIdentical) {
    std::filesystem::create_directories(devices);
    LampDriver driver(LUMIVARDEN_LAMPD, devices, temp.path());
    std::filesystem::create_directories(Registry());
    const std::string malformed = HiveFileBytes(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"cut sh");
    WriteFile(HivePath(), malformed);

    const Finished launch = Launch();
    EXPECT_EQ(launch.exitStatus, 255);
    EXPECT_EQ(launch.out + launch.err, "");
    EXPECT_EQ(ReadFile(HivePath()), malformed);
    EXPECT_TRUE(driver.LogLines().empty());
}

// Every file of the format table that the reader refuses (beyond the
// platform's limits, deletion lines, lines the import would skip) ends the
// launch the same way, the file untouched.
TEST_F(LaunchTest, EveryRefusedFileFormEndsWith255AndStaysByteIdentical) {
    std::filesystem::create_directories(Registry());
    for (const auto& c : testing_support::FileFormatCases()) {
        if (c.reads) continue;
        SCOPED_TRACE(c.name);
        const std::string bytes =
            testing_support::FileFormatBytes(c, "Software\\LumivardenFormat\\Case");
        WriteFile(HivePath(), bytes);
        EXPECT_EQ(Launch().exitStatus, 255);
        EXPECT_EQ(ReadFile(HivePath()), bytes);
    }
}

TEST_F(LaunchTest, RegistryFolderThatIsAFileEndsWith255AndSendsNothing) {
    std::filesystem::create_directories(devices);
    LampDriver driver(LUMIVARDEN_LAMPD, devices, temp.path());
    WriteFile(Registry(), "a file, not a folder");

    EXPECT_EQ(Launch().exitStatus, 255);
    EXPECT_EQ(ReadFile(Registry()), "a file, not a folder");
    EXPECT_TRUE(driver.LogLines().empty());
}

TEST_F(LaunchTest, WithoutADriverTheStateIsStillStored) {
    EXPECT_EQ(Launch().exitStatus, 0);
    EXPECT_EQ(Enabled(),
              (std::pair<std::uint32_t, lumivarden::host::Bytes>{REG_SZ, {'1', 0, 0, 0}}));
}

TEST_F(LaunchTest, DriverThatIsBusyLeavesTheLaunchSuccessful) {
    std::filesystem::create_directories(devices);
    LampDriver driver(LUMIVARDEN_LAMPD, devices, temp.path());
    {
        testing_support::ScopedEnv env("LUMIVARDEN_DEVICE_DIR", devices);
        HANDLE holder = CreateFileW(u"CIF1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Launch().exitStatus, 0);
        CloseHandle(holder);
    }
    EXPECT_EQ(Enabled().second, (lumivarden::host::Bytes{'1', 0, 0, 0}));
    EXPECT_TRUE(driver.LampLines().empty());
    EXPECT_EQ(driver.LogLines().back(), "open access=80000000 share=00000000 status=32");
}

}  // namespace
