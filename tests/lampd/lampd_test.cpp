// The stand-in driver as a process, reached through the host layer's device
// functions and through raw sockets for what a well-behaved client never sends.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "lamp_client.h"
#include "lamp_driver.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using testing_support::FileExists;
using testing_support::LampDriver;
using testing_support::RunToEnd;
using testing_support::ScopedEnv;
using testing_support::TempDir;

using testing_support::LampCode;
using testing_support::OpenLamp;
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

// A raw connection, for frames that the device functions never send.
class RawClient {
  public:
    explicit RawClient(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~RawClient() { close(fd_); }

    void SendWords(std::initializer_list<std::uint32_t> words,
                   const testing_support::FrameBytes& tail = {}) {
        const testing_support::FrameBytes bytes = testing_support::Frame(words, tail);
        send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    // Whether the driver closes the connection within the time, reading what it answers.
    bool ClosedWithin(int milliseconds) {
        pollfd entry{fd_, POLLIN, 0};
        char buffer[64];
        for (;;) {
            if (poll(&entry, 1, milliseconds) <= 0) return false;
            if (recv(fd_, buffer, sizeof buffer, 0) <= 0) return true;
        }
    }

  private:
    int fd_;
};

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

TEST_F(LampdTest, StopsCleanlyOnSignalAndRemovesItsSocket) {
    const auto finished = driver.Stop(SIGTERM);
    EXPECT_EQ(finished.exitStatus, 0);
    EXPECT_FALSE(FileExists(driver.SocketPath()));
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

    testing_support::WriteFile(temp / "file", "");
    const auto notFolder =
        RunToEnd({LUMIVARDEN_LAMPD, "--device-dir", temp / "file"}, {}, temp.path());
    EXPECT_EQ(notFolder.exitStatus, 1);
    EXPECT_NE(notFolder.err.find("is not a folder"), std::string::npos) << notFolder.err;
}

}  // namespace
