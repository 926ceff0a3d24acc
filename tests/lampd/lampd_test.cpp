// The stand-in driver as a process, reached through the host layer's device
// functions and through raw sockets for what a well-behaved client never sends.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "lamp_client.h"
#include "lamp_driver.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using testing_support::LampDriver;
using testing_support::RunToEnd;
using testing_support::ScopedEnv;
using testing_support::TempDir;

using testing_support::LampCode;
using testing_support::OpenLamp;
using testing_support::RawClient;
using testing_support::SendControl;

class LampdTest : public ::testing::Test {
  protected:
    TempDir temp;
    ScopedEnv devices{"LUMIVARDEN_DEVICE_DIR", temp.path()};
    LampDriver driver{LUMIVARDEN_LAMPD, temp.path(), temp.path()};
};

TEST_F(LampdTest, SwitchesTheLampAndLogsEachRequest) {
    HANDLE device = OpenLamp();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SendControl(device, LampCode, {1, 0, 0, 0}));
    EXPECT_TRUE(SendControl(device, LampCode, {2, 0, 0, 0}));
    EXPECT_TRUE(CloseHandle(device));

    EXPECT_EQ(driver.LampLines(), (std::vector<std::string>{"lamp on", "lamp off"}));
    EXPECT_EQ(driver.LogLines(),
              (std::vector<std::string>{"open access=80000000 share=00000000 status=0",
                                        "control code=90002014 input=01000000 output=0 status=0",
                                        "control code=90002014 input=02000000 output=0 status=0"}));
}

TEST_F(LampdTest, RefusesEveryOtherRequestAndKeepsServing) {
    const struct {
        DWORD code;
        std::vector<std::uint8_t> input;
    } refused[] = {
        {0x90002018, {1, 0, 0, 0}},  {LampCode, {1, 0, 0}},
        {LampCode, {1, 0, 0, 0, 0}}, {LampCode, {}},
        {LampCode, {0, 0, 0, 0}},    {LampCode, {3, 0, 0, 0}},
        {LampCode, {1, 0, 0, 1}},
    };
    HANDLE device = OpenLamp();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    for (const auto& request : refused) {
        EXPECT_FALSE(SendControl(device, request.code, request.input));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_TRUE(SendControl(device, LampCode, {1, 0, 0, 0}));
    CloseHandle(device);
    EXPECT_EQ(driver.LampLines(), std::vector<std::string>{"lamp on"});
}

TEST_F(LampdTest, AllowsOneOpenAtATime) {
    HANDLE first = OpenLamp();
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenLamp(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(first);

    HANDLE next = nullptr;
    EXPECT_TRUE(
        testing_support::WaitFor([&] { return (next = OpenLamp()) != INVALID_HANDLE_VALUE; }));
    EXPECT_TRUE(SendControl(next, LampCode, {2, 0, 0, 0}));
    CloseHandle(next);
}

TEST_F(LampdTest, DropsBrokenClientsAndServesTheNext) {
    const struct {
        const char* name;
        std::vector<std::uint32_t> words;
    } broken[] = {
        {"unknown operation", {7, 0, 0}},
        {"control before open", {2, LampCode, 0, 0}},
        {"input far beyond any sane size", {1, GENERIC_READ, 0, 2, LampCode, 0xFFFFFFFF, 0}},
    };
    for (const auto& client : broken) {
        SCOPED_TRACE(client.name);
        RawClient raw(driver.SocketPath());
        for (std::uint32_t word : client.words) raw.SendWords({word});
        EXPECT_TRUE(raw.ClosedWithin(2000));
    }
    {
        RawClient vanishing(driver.SocketPath());
        vanishing.SendWords({1, GENERIC_READ, 0, 2, LampCode});  // gone in mid-request
    }
    HANDLE device = nullptr;
    EXPECT_TRUE(
        testing_support::WaitFor([&] { return (device = OpenLamp()) != INVALID_HANDLE_VALUE; }));
    EXPECT_TRUE(SendControl(device, LampCode, {1, 0, 0, 0}));
    CloseHandle(device);
}

TEST_F(LampdTest, DropsClientsThatGoSilentWithinABoundedTime) {
    // All three wait side by side: the driver's frame timeout is five seconds.
    RawClient silent(driver.SocketPath());
    RawClient halfAnOpen(driver.SocketPath());
    halfAnOpen.SendWords({1, GENERIC_READ});
    RawClient halfARequest(driver.SocketPath());
    halfARequest.SendWords({1, GENERIC_READ, 0, 2, LampCode, 4});
    EXPECT_TRUE(silent.ClosedWithin(8000));
    EXPECT_TRUE(halfAnOpen.ClosedWithin(3000));
    EXPECT_TRUE(halfARequest.ClosedWithin(3000));

    HANDLE device = OpenLamp();
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SendControl(device, LampCode, {2, 0, 0, 0}));
    CloseHandle(device);
}

// A log line shows the start of a large input and its length, not all of it.
TEST_F(LampdTest, LogLineOfALargeRequestStaysShort) {
    RawClient client(driver.SocketPath());
    client.SendWords({1, GENERIC_READ, 0, 2, LampCode, 65536, 0},
                     testing_support::FrameBytes(65536, 0xAB));
    EXPECT_TRUE(testing_support::WaitFor([&] { return driver.LogLines().size() == 2; }));
    const std::vector<std::string> lines = driver.LogLines();
    ASSERT_EQ(lines.size(), 2u);
    std::string shown;
    for (int i = 0; i < 16; ++i) shown += "ab";
    EXPECT_EQ(lines[1],
              "control code=90002014 input=" + shown + "... (65536 bytes) output=0 status=87");
}

TEST_F(LampdTest, RefusesToStartWhereAnotherDriverServes) {
    const auto second = RunToEnd({LUMIVARDEN_LAMPD, "--device-dir", temp.path()}, {}, temp.path());
    EXPECT_EQ(second.exitStatus, 1);
    EXPECT_NE(second.err.find("another driver is already serving"), std::string::npos)
        << second.err;
    HANDLE device = OpenLamp();  // the first still serves
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
}

TEST(LampdCommandLine, ExplainsItselfAndRejectsMistakes) {
    TempDir temp;
    const auto help = RunToEnd({LUMIVARDEN_LAMPD, "--help"}, {}, temp.path());
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.out.rfind("Usage: lumivarden-lampd", 0), 0u) << help.out;

    const auto unknown = RunToEnd({LUMIVARDEN_LAMPD, "--bright"}, {}, temp.path());
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_NE(unknown.err.find("unknown option '--bright'"), std::string::npos) << unknown.err;

    const auto missing = RunToEnd({LUMIVARDEN_LAMPD, "--log"}, {}, temp.path());
    EXPECT_EQ(missing.exitStatus, 2);
    EXPECT_NE(missing.err.find("'--log' needs a value"), std::string::npos) << missing.err;

    const auto badName =
        RunToEnd({LUMIVARDEN_LAMPD, "--name", "a/b", "--device-dir", temp.path()}, {}, temp.path());
    EXPECT_EQ(badName.exitStatus, 2);
    EXPECT_NE(badName.err.find("'a/b' cannot be a device name"), std::string::npos) << badName.err;

    testing_support::WriteFile(temp / "file", "");
    const auto notFolder =
        RunToEnd({LUMIVARDEN_LAMPD, "--device-dir", temp / "file"}, {}, temp.path());
    EXPECT_EQ(notFolder.exitStatus, 1);
    EXPECT_NE(notFolder.err.find("is not a folder"), std::string::npos) << notFolder.err;
}

// The longest socket path named in the refusal is the longest that serves.
TEST(LampdCommandLine, SocketPathLimitIsTheOneItStates) {
    TempDir temp;
    const std::size_t limit = sizeof sockaddr_un::sun_path - 1 - std::strlen(" new");
    const std::string base = temp / "";
    ASSERT_LT(base.size() + 10, limit);
    const std::string padding(limit - base.size() - std::strlen("/CIF1:"), 'd');
    const std::string longest = base + padding;
    std::filesystem::create_directories(longest);
    {
        LampDriver driver(LUMIVARDEN_LAMPD, longest, temp.path());
        EXPECT_EQ(driver.SocketPath().size(), limit);
    }
    const std::string tooLong = longest + "d";
    std::filesystem::create_directories(tooLong);
    const auto refused = RunToEnd({LUMIVARDEN_LAMPD, "--device-dir", tooLong}, {}, temp.path());
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(
        refused.err.find("socket path too long (at most " + std::to_string(limit) + " bytes)"),
        std::string::npos)
        << refused.err;
}

}  // namespace
