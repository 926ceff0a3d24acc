// A hive write whose every step can fail, as a full disk or a failing device
// would make it: the launch still ends with 0, the hive is the old one or the
// new one with every other value intact, and the next write leaves nothing over.
#include <gtest/gtest.h>

#include <filesystem>

#include "hive_file.h"
#include "hive_text.h"
#include "seed_hive.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using lumivarden::host::Hive;
using testing_support::FileExists;
using testing_support::TempDir;

TEST(HiveWriteFailure, EveryFailingStepKeepsTheOldOrTheNewHive) {
    const struct {
        const char* step;
        bool stored;  // whether the new hive is in place despite the failure
    } steps[] = {
        {"temp-open", false},  {"temp-write", false}, {"temp-sync", false},
        {"temp-close", false}, {"rename", false},     {"folder-sync", true},
    };
    const Hive seeded = testing_support::SeedHive(20, 6, 11);  // "Enabled" holds "2"
    const Hive untouchable = testing_support::WithoutEnabled(seeded);
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        TempDir temp;
        const std::string registry = temp / "registry";
        const std::string hivePath = registry + "/HKEY_CURRENT_USER.reg";
        std::filesystem::create_directories(registry);
        testing_support::WriteFile(hivePath, lumivarden::host::WriteHive(seeded));
        const std::vector<std::string> environment = {"LUMIVARDEN_REGISTRY_DIR=" + registry,
                                                      "LUMIVARDEN_DEVICE_DIR=" + temp / "none"};

        std::vector<std::string> failing = environment;
        failing.push_back(std::string("LUMIVARDEN_FAIL_AT=") + s.step);
        const auto failed = testing_support::RunToEnd({LUMIVARDEN_PROGRAM}, failing, temp.path());
        EXPECT_EQ(failed.exitStatus, 0);
        std::optional<Hive> hive = testing_support::ReadHiveFile(hivePath);
        ASSERT_TRUE(hive.has_value());
        EXPECT_EQ(testing_support::EnabledText(*hive), s.stored ? "1" : "2");
        EXPECT_EQ(testing_support::WithoutEnabled(*hive), untouchable);
        EXPECT_FALSE(FileExists(hivePath + ".tmp"));

        const auto next = testing_support::RunToEnd({LUMIVARDEN_PROGRAM}, environment, temp.path());
        EXPECT_EQ(next.exitStatus, 0);
        hive = testing_support::ReadHiveFile(hivePath);
        ASSERT_TRUE(hive.has_value());
        EXPECT_EQ(testing_support::EnabledText(*hive), s.stored ? "2" : "1");
        EXPECT_EQ(testing_support::WithoutEnabled(*hive), untouchable);
        EXPECT_FALSE(FileExists(hivePath + ".tmp"));
    }
}

}  // namespace
