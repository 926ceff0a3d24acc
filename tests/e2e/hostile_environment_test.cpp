// Whatever the environment the tool meets, a launch ends with 0 or -1 (255),
// never crashes, never writes outside its registry folder and never changes a
// hive it must not touch.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "hive_file.h"
#include "lamp_driver.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::FileExists;
using testing_support::Finished;
using testing_support::HiveFileBytes;
using testing_support::ReadFile;
using testing_support::RunToEnd;
using testing_support::TempDir;
using testing_support::WriteFile;

const std::string HiveName = "HKEY_CURRENT_USER.reg";
const std::string EmptyHive = HiveFileBytes("Windows Registry Editor Version 5.00\n\n");

class HostileEnvironmentTest : public ::testing::Test {
  protected:
    // A launch with only the given variables among those the tool reads.
    Finished Launch(std::vector<std::string> environment) {
        for (const char* name : {"LUMIVARDEN_REGISTRY_DIR", "XDG_STATE_HOME", "HOME",
                                 "LUMIVARDEN_DEVICE_DIR", "XDG_RUNTIME_DIR"}) {
            const bool given = std::any_of(environment.begin(), environment.end(), [&](auto& e) {
                return e.rfind(std::string(name) + "=", 0) == 0;
            });
            if (!given) environment.emplace_back(name);
        }
        if (std::none_of(environment.begin(), environment.end(),
                         [](auto& e) { return e.rfind("LUMIVARDEN_DEVICE_DIR=", 0) == 0; })) {
            environment.push_back("LUMIVARDEN_DEVICE_DIR=" + temp / "devices");
        }
        Finished launch = RunToEnd({LUMIVARDEN_PROGRAM}, environment, temp.path());
        EXPECT_EQ(launch.out + launch.err, "");
        return launch;
    }

    TempDir temp;
};

TEST_F(HostileEnvironmentTest, StateFoldersFollowTheEnvironmentAndIgnoreWhatIsNotAnAbsolutePath) {
    const struct {
        const char* name;
        std::vector<std::string> environment;
        std::string hiveFolder;  // below the temporary folder
    } cases[] = {
        {"home only", {"HOME=" + temp / "home"}, "home/.local/state/lumivarden/registry"},
        {"state home",
         {"HOME=" + temp / "home", "XDG_STATE_HOME=" + temp / "state"},
         "state/lumivarden/registry"},
        {"relative state home",
         {"HOME=" + temp / "home2", "XDG_STATE_HOME=relative/state"},
         "home2/.local/state/lumivarden/registry"},
        {"empty own folder",
         {"LUMIVARDEN_REGISTRY_DIR=", "HOME=" + temp / "home3",
          "XDG_STATE_HOME=" + temp / "state3"},
         "state3/lumivarden/registry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Launch(c.environment).exitStatus, 0);
        EXPECT_TRUE(
            testing_support::ReadHiveFile(temp / c.hiveFolder + "/" + HiveName).has_value());
    }
    EXPECT_FALSE(FileExists("relative"));
}

TEST_F(HostileEnvironmentTest, RegistryFolderThatIsALinkIsRefusedAndItsTargetUntouched) {
    fs::create_directories(temp / "target");
    WriteFile(temp / "target/" + HiveName, EmptyHive);
    fs::create_directory_symlink(temp / "target", temp / "registry");
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry"}).exitStatus, 255);
    EXPECT_EQ(ReadFile(temp / "target/" + HiveName), EmptyHive);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp / "target"), fs::directory_iterator()), 1);
}

TEST_F(HostileEnvironmentTest, HiveThatIsALinkIsRefusedAndItsTargetUntouched) {
    fs::create_directories(temp / "registry");
    WriteFile(temp / "elsewhere.reg", EmptyHive);
    fs::create_symlink(temp / "elsewhere.reg", temp / "registry/" + HiveName);
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry"}).exitStatus, 255);
    EXPECT_EQ(ReadFile(temp / "elsewhere.reg"), EmptyHive);
    EXPECT_TRUE(fs::is_symlink(temp / "registry/" + HiveName));
}

TEST_F(HostileEnvironmentTest, RegistryFolderBelowAFileIsRefused) {
    WriteFile(temp / "file", "plain");
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "file/registry"}).exitStatus, 255);
    EXPECT_EQ(ReadFile(temp / "file"), "plain");
}

TEST_F(HostileEnvironmentTest, HiveOfAnotherUserIsRefusedAndUnchanged) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
    fs::create_directories(temp / "registry");
    const std::string hive = temp / "registry/" + HiveName;
    WriteFile(hive, EmptyHive);
    ASSERT_EQ(chown(hive.c_str(), 65534, 65534), 0);
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry"}).exitStatus, 255);
    EXPECT_EQ(ReadFile(hive), EmptyHive);
    struct stat info {};
    ASSERT_EQ(stat(hive.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
}

TEST_F(HostileEnvironmentTest, DeviceFolderThatIsAFileOnlySkipsTheLamp) {
    WriteFile(temp / "devices-file", "plain");
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry",
                      "LUMIVARDEN_DEVICE_DIR=" + temp / "devices-file"})
                  .exitStatus,
              0);
    EXPECT_TRUE(testing_support::ReadHiveFile(temp / "registry/" + HiveName).has_value());
}

TEST_F(HostileEnvironmentTest, RuntimeFolderHoldsTheDevicesWhenNoneIsNamed) {
    const std::string devices = temp / "run/lumivarden/devices";
    fs::create_directories(devices);
    testing_support::LampDriver driver(LUMIVARDEN_LAMPD, devices, temp.path());
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry",
                      "XDG_RUNTIME_DIR=" + temp / "run", "LUMIVARDEN_DEVICE_DIR="})
                  .exitStatus,
              0);
    EXPECT_EQ(driver.LampLines(), std::vector<std::string>{"lamp on"});
}

// Without a runtime folder, devices live under /tmp/lumivarden-<uid>, shared
// ground: a folder there that another user could have planted is not trusted.
TEST_F(HostileEnvironmentTest, SharedDeviceFolderNotPrivateToTheUserIsNotTrusted) {
    const std::string root = "/tmp/lumivarden-" + std::to_string(geteuid());
    if (FileExists(root)) GTEST_SKIP() << root << " exists already; not touching it";
    fs::create_directories(root + "/devices");
    struct RemoveAfterwards {
        std::string path;
        ~RemoveAfterwards() { fs::remove_all(path); }
    } cleanup{root};
    if (geteuid() == 0) {
        ASSERT_EQ(chown(root.c_str(), 65534, 65534), 0);
    } else {
        ASSERT_EQ(chmod(root.c_str(), 0777), 0);
    }
    testing_support::LampDriver driver(LUMIVARDEN_LAMPD, root + "/devices", temp.path());
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry", "LUMIVARDEN_DEVICE_DIR="})
                  .exitStatus,
              0);
    EXPECT_TRUE(driver.LogLines().empty());
    EXPECT_TRUE(testing_support::ReadHiveFile(temp / "registry/" + HiveName).has_value());
}

}  // namespace
