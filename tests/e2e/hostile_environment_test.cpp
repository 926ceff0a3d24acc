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
    // A launch with only the given variables among those the tool reads, after
    // the shell commands in setup, if any.
    Finished Launch(std::vector<std::string> environment, const std::string& setup = "") {
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
        const std::vector<std::string> program{LUMIVARDEN_PROGRAM};
        Finished launch =
            RunToEnd(setup.empty() ? program : testing_support::UnderShell(setup, program),
                     environment, temp.path());
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

// A registry folder that is a link (a dotfiles tool's) is followed only to a
// folder of the user's own that no one else may write to.
TEST_F(HostileEnvironmentTest, RegistryFolderThatIsALinkIsFollowedOnlyToAClosedFolderOfTheUser) {
    const struct {
        const char* name;
        const char* trailing;
        fs::perms mode;
        bool otherOwner;
        bool followed;
    } cases[] = {
        {"own closed folder", "", fs::perms(0700), false, true},
        {"own folder others may read", "/", fs::perms(0755), false, true},
        {"open to everyone", "", fs::perms(0777), false, false},
        {"open to everyone, trailing slash", "//", fs::perms(0777), false, false},
        {"open to the group", "", fs::perms(0770), false, false},
        {"another user's", "", fs::perms(0700), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.otherOwner && geteuid() != 0) continue;  // giving a folder away needs root
        const std::string target = temp / (std::string("target-") + c.name);
        const std::string link = temp / (std::string("link-") + c.name);
        const std::string hive = (fs::path(target) / HiveName).string();
        fs::create_directories(target);
        WriteFile(hive, EmptyHive);
        fs::permissions(target, c.mode);
        if (c.otherOwner) {
            ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
        }
        fs::create_directory_symlink(target, link);

        const int status = Launch({"LUMIVARDEN_REGISTRY_DIR=" + link + c.trailing}).exitStatus;
        EXPECT_EQ(status, c.followed ? 0 : 255);
        if (c.followed) {
            EXPECT_NE(testing_support::HiveFileText(ReadFile(hive)).find("\"Enabled\"=\"1\""),
                      std::string::npos);
        } else {
            EXPECT_EQ(ReadFile(hive), EmptyHive);
            EXPECT_EQ(std::distance(fs::directory_iterator(target), fs::directory_iterator()), 1);
        }
    }
}

// Things in the hive's place that are not a regular file are refused at once:
// a FIFO would otherwise hold the launch forever.
TEST_F(HostileEnvironmentTest, HiveThatIsNotARegularFileIsRefusedWithoutWaiting) {
    fs::create_directories(temp / "registry");
    const std::string hive = temp / "registry/" + HiveName;
    ASSERT_EQ(mkfifo(hive.c_str(), 0600), 0);
    EXPECT_EQ(Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry"}).exitStatus, 255);
    EXPECT_TRUE(fs::is_fifo(hive));
}

// Past the file-size limit the write fails quietly like every failed write:
// the lamp is still switched, the hive is the old one and nothing is left over.
TEST_F(HostileEnvironmentTest, FileSizeLimitFailsTheWriteNotTheLaunch) {
    fs::create_directories(temp / "registry");
    const std::string hive = temp / "registry/" + HiveName;
    const std::string bytes = HiveFileBytes(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Lumivarden]\n\"Enabled\"=\"2\"\n\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n\"Big\"=\"" +
        std::string(40000, 'x') + "\"\n\n");
    WriteFile(hive, bytes);
    const std::string devices = temp / "devices";
    fs::create_directories(devices);
    testing_support::LampDriver driver(LUMIVARDEN_LAMPD, devices, temp.path());

    // 20 blocks of 512 or 1024 bytes, whichever the shell counts in: less than the hive.
    const Finished launch =
        Launch({"LUMIVARDEN_REGISTRY_DIR=" + temp / "registry"}, "ulimit -f 20");
    EXPECT_EQ(launch.exitStatus, 0);
    EXPECT_EQ(ReadFile(hive), bytes);
    EXPECT_FALSE(FileExists(hive + ".tmp"));
    EXPECT_EQ(driver.LampLines(), std::vector<std::string>{"lamp on"});
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
