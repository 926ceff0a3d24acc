// A hive that the platform's registry editor wrote: `regedit /E` of the Wine
// prefix's whole HKEY_CURRENT_USER. Launches of the host program against it
// add the tool's key and value and copy every other byte; the platform's
// import of the result gives every value of the export back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "hive_file.h"
#include "test_support.h"
#include "wine.h"

namespace {

using lumivarden::host::Hive;
using lumivarden::host::HiveKey;
using testing_support::ReadFile;
using testing_support::TempDir;

const std::string LampKey = "Software\\Lumivarden";

// The hive without the tool's key.
Hive WithoutLampKey(Hive hive) {
    std::erase_if(hive.keys, [](const HiveKey& key) {
        return key.path == std::u16string(LampKey.begin(), LampKey.end());
    });
    return hive;
}

bool EditorExport(const std::string& file, const std::string& work) {
    unlink(file.c_str());
    return testing_wine::Run(
               {"regedit", "/E", testing_wine::WindowsPath(file), "HKEY_CURRENT_USER"}, work)
                   .exitStatus == 0 &&
           testing_support::FileExists(file);
}

TEST(EditorExportTest, LaunchesAddOnlyTheirKeyAndTheImportGivesEveryValueBack) {
    if (const auto why = testing_wine::Unavailable()) GTEST_SKIP() << *why;
    TempDir work;
    // The prefix as it was made: without the keys that other tests add.
    for (const char* key : {"Software\\Lumivarden", "Software\\Lumivarden Conformance",
                            "Software\\Lumivarden Travel", "Software\\LumivardenFormat"}) {
        testing_wine::Run({"reg", "delete", std::string("HKEY_CURRENT_USER\\") + key, "/f"},
                          work.path());
    }
    const std::string exportFile = work.path() + "/editor.reg";
    ASSERT_TRUE(EditorExport(exportFile, work.path()));
    const std::string exported = ReadFile(exportFile);
    const std::optional<Hive> original = testing_support::ReadHiveFile(exportFile);
    ASSERT_TRUE(original.has_value()) << "the host layer does not read the editor's export";

    const std::string registry = work.path() + "/registry";
    std::filesystem::create_directories(registry);
    const std::string hive = registry + "/HKEY_CURRENT_USER.reg";
    testing_support::WriteFile(hive, exported);
    for (int launch = 0; launch < 2; ++launch) {  // on, then off
        const auto done = testing_support::RunToEnd(
            {LUMIVARDEN_PROGRAM},
            {"LUMIVARDEN_REGISTRY_DIR=" + registry, "LUMIVARDEN_DEVICE_DIR=" + work.path()},
            work.path());
        ASSERT_EQ(done.exitStatus, 0);
    }

    // Every byte of the export is still there, the tool's section after it.
    const std::string after = ReadFile(hive);
    ASSERT_GE(after.size(), exported.size());
    EXPECT_EQ(after.substr(0, exported.size()), exported);
    const bool endsWithBlankLine =
        exported.size() >= 8 &&
        exported.compare(exported.size() - 8, 8, "\r\0\n\0\r\0\n\0", 8) == 0;
    EXPECT_EQ(testing_support::HiveFileText("\xFF\xFE" + after.substr(exported.size())),
              std::string(endsWithBlankLine ? "" : "\n") +
                  "[HKEY_CURRENT_USER\\Software\\Lumivarden]\n\"Enabled\"=\"2\"\n\n");

    // The platform reads the result back: every value of the export, and ours.
    ASSERT_EQ(testing_wine::Run({"reg", "import", testing_wine::WindowsPath(hive)}, work.path())
                  .exitStatus,
              0);
    const std::string againFile = work.path() + "/again.reg";
    ASSERT_TRUE(EditorExport(againFile, work.path()));
    const std::optional<Hive> again = testing_support::ReadHiveFile(againFile);
    testing_wine::Run({"reg", "delete", "HKEY_CURRENT_USER\\" + LampKey, "/f"}, work.path());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(testing_support::EnabledText(*again), "2");
    EXPECT_EQ(WithoutLampKey(*again), WithoutLampKey(*original));
}

}  // namespace
