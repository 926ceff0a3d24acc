// The stand-in driver switching an LED class device, shown with fake LED
// folders made of plain files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "lamp_client.h"
#include "lamp_driver.h"
#include "test_support.h"
#include "winapi.h"

namespace {

namespace fs = std::filesystem;
using testing_support::LampDriver;
using testing_support::ReadFile;
using testing_support::RunToEnd;
using testing_support::ScopedEnv;
using testing_support::SwitchLamp;
using testing_support::TempDir;
using testing_support::WriteFile;

class LedTest : public ::testing::Test {
  protected:
    LedTest() {
        fs::create_directories(Led());
        WriteFile(Led() + "/max_brightness", "255\n");
        WriteFile(Led() + "/brightness", "0\n");
        fs::create_directories(Devices());
    }

    std::string Leds() const { return temp / "leds"; }
    std::string Led() const { return Leds() + "/white:flash"; }
    std::string Devices() const { return temp / "devices"; }
    std::string Brightness() const { return ReadFile(Led() + "/brightness"); }

    testing_support::Finished Start(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {LUMIVARDEN_LAMPD, "--device-dir", Devices()});
        return RunToEnd(arguments, {}, temp.path());
    }

    TempDir temp;
    ScopedEnv devices{"LUMIVARDEN_DEVICE_DIR", temp / "devices"};
};

TEST_F(LedTest, OnWritesTheMaximumAndOffWritesZero) {
    LampDriver driver(LUMIVARDEN_LAMPD, Devices(), temp.path(), {"--led", Led()});
    EXPECT_TRUE(SwitchLamp(1));
    EXPECT_EQ(Brightness(), "255\n");
    EXPECT_TRUE(SwitchLamp(2));
    EXPECT_EQ(Brightness(), "0\n");
    EXPECT_EQ(driver.LampLines(), (std::vector<std::string>{"lamp on", "lamp off"}));
}

TEST_F(LedTest, FindsTheLedByNameAndTakesTheBrightnessGiven) {
    LampDriver driver(LUMIVARDEN_LAMPD, Devices(), temp.path(),
                      {"--led-class-dir", Leds(), "--led", "white:flash", "--brightness", "10"});
    EXPECT_TRUE(SwitchLamp(1));
    EXPECT_EQ(Brightness(), "10\n");
}

TEST_F(LedTest, AFailedWriteIsAnsweredWithAnErrorAndTheDriverKeepsServing) {
    LampDriver driver(LUMIVARDEN_LAMPD, Devices(), temp.path(), {"--led", Led()});
    fs::remove(Led() + "/brightness");
    fs::create_directory(Led() + "/brightness");  // any write now fails
    EXPECT_FALSE(SwitchLamp(1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));

    fs::remove(Led() + "/brightness");
    WriteFile(Led() + "/brightness", "0\n");
    EXPECT_TRUE(SwitchLamp(1));
    EXPECT_EQ(Brightness(), "255\n");
    EXPECT_EQ(driver.LampLines(), std::vector<std::string>{"lamp on"});
}

TEST_F(LedTest, RefusesToStartWithAClearReason) {
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::vector<std::string> arguments;
        int exitStatus;
        std::string message;
    } cases[] = {
        {"unknown name",
         [] {},
         {"--led-class-dir", Leds(), "--led", "red:torch"},
         1,
         Leds() + "/red:torch: no such LED (see --list-leds)"},
        {"missing folder", [] {}, {"--led", temp / "nowhere"}, 1, temp / "nowhere: no such LED"},
        {"no maximum",
         [&] { fs::remove(Led() + "/max_brightness"); },
         {"--led", Led()},
         1,
         Led() + "/max_brightness: cannot read: No such file or directory"},
        {"maximum not a number",
         [&] { WriteFile(Led() + "/max_brightness", "lots\n"); },
         {"--led", Led()},
         1,
         Led() + "/max_brightness: does not hold a number"},
        {"no brightness file",
         [&] { fs::remove(Led() + "/brightness"); },
         {"--led", Led()},
         1,
         Led() + "/brightness: cannot write: No such file or directory"},
        {"brightness too high",
         [] {},
         {"--led", Led(), "--brightness", "256"},
         1,
         "--brightness 256 is out of range for this LED (1 to 255)"},
        {"brightness zero",
         [] {},
         {"--led", Led(), "--brightness", "0"},
         1,
         "--brightness 0 is out of range for this LED (1 to 255)"},
        {"brightness not a number",
         [] {},
         {"--led", Led(), "--brightness", "max"},
         2,
         "--brightness takes a whole number, not 'max'"},
        {"brightness without led", [] {}, {"--brightness", "5"}, 2, "--brightness goes with --led"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Led() + "/max_brightness", "255\n");
        WriteFile(Led() + "/brightness", "0\n");
        c.prepare();
        const auto started = Start(c.arguments);
        EXPECT_EQ(started.exitStatus, c.exitStatus);
        EXPECT_NE(started.err.find("lumivarden-lampd: " + c.message + "\n"), std::string::npos)
            << started.err;
        EXPECT_FALSE(testing_support::FileExists(Devices() + "/CIF1:"));
    }
}

// Without the right to write the LED, the driver says what would grant it.
TEST_F(LedTest, RefusedLedNamesTheRuleAndGroupThatWouldAllowIt) {
    std::vector<std::string> command = {LUMIVARDEN_LAMPD, "--device-dir", Devices(), "--led",
                                        Led()};
    if (geteuid() == 0) {
        // Root writes anything: the driver runs as nobody, who reaches the LED but cannot write it.
        fs::permissions(temp.path(), fs::perms(0755));
        command.insert(command.begin(),
                       {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    } else {
        fs::permissions(Led() + "/brightness", fs::perms(0444));
    }
    const auto started = RunToEnd(command, {}, temp.path());
    EXPECT_EQ(started.exitStatus, 1);
    EXPECT_NE(
        started.err.find(Led() + "/brightness: cannot write: Permission denied; the udev rule "
                                 "90-lumivarden-leds.rules"),
        std::string::npos)
        << started.err;
    EXPECT_NE(started.err.find("group 'video'"), std::string::npos) << started.err;
}

TEST_F(LedTest, ListsTheLedsOfTheClassFolder) {
    fs::create_directories(Leds() + "/input3::capslock");
    fs::create_directories(Leds() + "/a:torch");
    const auto listed = Start({"--list-leds", "--led-class-dir", Leds()});
    EXPECT_EQ(listed.exitStatus, 0);
    EXPECT_EQ(listed.out, "a:torch\ninput3::capslock\nwhite:flash\n");

    const auto missing = Start({"--list-leds", "--led-class-dir", temp / "none"});
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_NE(missing.err.find("cannot list LEDs"), std::string::npos) << missing.err;
}

}  // namespace
