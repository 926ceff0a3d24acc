// The device functions of the host layer against scripted drivers, well and badly behaved.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "device_protocol.h"
#include "lamp_client.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumivarden::device::LoadLe32;
using testing_support::LampCode;
using testing_support::OpenLamp;
using testing_support::ScopedEnv;
using testing_support::SendControl;
using testing_support::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadExactly(int fd, std::size_t size) {
    Bytes bytes(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = recv(fd, bytes.data() + done, size - done, 0);
        if (got <= 0) return {};
        done += static_cast<std::size_t>(got);
    }
    return bytes;
}

void SendWords(int fd, std::initializer_list<std::uint32_t> words, const Bytes& tail = {}) {
    const Bytes bytes = testing_support::Frame(words, tail);
    ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
}

// Waits until the client hangs up.
void DrainUntilClosed(int fd) {
    char buffer[256];
    while (recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
}

// A driver that serves one connection with a script, on a thread of its own.
class ScriptedDriver {
  public:
    ScriptedDriver(const std::string& path, const std::function<void(int)>& script) {
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(listen(listener_, 4), 0);
        thread_ = std::thread([this, script] {
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            script(fd);
            close(fd);
        });
    }
    ~ScriptedDriver() {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }

  private:
    int listener_ = -1;
    std::thread thread_;
};

// Reads the open frame, checks it and answers with the status.
void AnswerOpen(int fd, std::uint32_t status) {
    const Bytes open = ReadExactly(fd, 12);
    ASSERT_EQ(open.size(), 12u);
    EXPECT_EQ(LoadLe32(open.data()), 1u);
    EXPECT_EQ(LoadLe32(open.data() + 4), GENERIC_READ);
    EXPECT_EQ(LoadLe32(open.data() + 8), 0u);
    SendWords(fd, {status});
}

class DeviceClientTest : public ::testing::Test {
  protected:
    std::string SocketPath() const { return temp / "CIF1:"; }
    TempDir temp;
    ScopedEnv devices{"LUMIVARDEN_DEVICE_DIR", temp.path()};
};

TEST_F(DeviceClientTest, NoDriverMeansFileNotFound) {
    EXPECT_EQ(OpenLamp(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A socket left behind by a driver that is gone.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, SocketPath().c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
    EXPECT_EQ(OpenLamp(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(DeviceClientTest, NamesThatCannotBeDevicesAreNotFound) {
    for (const char16_t* name : {u"", u"..", u"../CIF1:", u"a/b", u"CIF\u00e9:"}) {
        EXPECT_EQ(CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
}

TEST_F(DeviceClientTest, OpenRefusedByTheDriverFailsWithItsStatus) {
    ScriptedDriver driver(SocketPath(), [](int fd) { AnswerOpen(fd, ERROR_SHARING_VIOLATION); });
    EXPECT_EQ(OpenLamp(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST_F(DeviceClientTest, ControlRequestCarriesCodeInputAndCapacityAndReturnsOutput) {
    ScriptedDriver driver(SocketPath(), [](int fd) {
        AnswerOpen(fd, 0);
        const Bytes header = ReadExactly(fd, 16);
        ASSERT_EQ(header.size(), 16u);
        EXPECT_EQ(LoadLe32(header.data()), 2u);
        EXPECT_EQ(LoadLe32(header.data() + 4), 0x90002014u);
        EXPECT_EQ(LoadLe32(header.data() + 8), 4u);
        EXPECT_EQ(LoadLe32(header.data() + 12), 8u);
        EXPECT_EQ(ReadExactly(fd, 4), (Bytes{1, 0, 0, 0}));
        SendWords(fd, {0, 3}, {7, 8, 9});
        // A second request, refused by the driver.
        ReadExactly(fd, 16 + 4);
        SendWords(fd, {87, 0});
        DrainUntilClosed(fd);
    });
    HANDLE device = OpenLamp();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    std::uint8_t input[4] = {1, 0, 0, 0};
    std::uint8_t output[8] = {};
    DWORD returned = 99;
    EXPECT_TRUE(DeviceIoControl(device, 0x90002014, input, 4, output, 8, &returned, nullptr));
    EXPECT_EQ(returned, 3u);
    EXPECT_EQ(Bytes(output, output + 3), (Bytes{7, 8, 9}));

    EXPECT_FALSE(DeviceIoControl(device, 0x90002014, input, 4, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(device));
}

struct Misbehaviour {
    const char* name;
    std::function<void(int)> afterRequest;
    DWORD error;
};

void PrintTo(const Misbehaviour& m, std::ostream* out) {
    *out << m.name;
}

class MisbehavingDriverTest : public DeviceClientTest,
                              public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(MisbehavingDriverTest, FailsTheCallWithinAFewSecondsAndNeverUsesTheStreamAgain) {
    ScriptedDriver driver(SocketPath(), [](int fd) {
        AnswerOpen(fd, 0);
        ReadExactly(fd, 16 + 4);
        GetParam().afterRequest(fd);
    });
    HANDLE device = OpenLamp();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);

    const auto start = Clock::now();
    EXPECT_FALSE(SendControl(device, LampCode, {1, 0, 0, 0}));
    EXPECT_EQ(GetLastError(), GetParam().error);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));

    EXPECT_FALSE(SendControl(device, LampCode, {1, 0, 0, 0}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_TRUE(CloseHandle(device));
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, MisbehavingDriverTest,
    ::testing::Values(Misbehaviour{"Hangs", DrainUntilClosed, ERROR_SEM_TIMEOUT},
                      Misbehaviour{"ClosesEarly", [](int) {}, ERROR_BROKEN_PIPE},
                      Misbehaviour{"HalfAReplyThenCloses", [](int fd) { SendWords(fd, {0}); },
                                   ERROR_BROKEN_PIPE},
                      Misbehaviour{"MoreOutputThanAskedFor",
                                   [](int fd) {
                                       SendWords(fd, {0, 100});
                                       DrainUntilClosed(fd);
                                   },
                                   ERROR_INVALID_DATA}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceClientTest, DriverThatNeverAnswersTheOpenFailsItWithinAFewSeconds) {
    ScriptedDriver driver(SocketPath(), DrainUntilClosed);
    const auto start = Clock::now();
    EXPECT_EQ(OpenLamp(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEM_TIMEOUT));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

// As the platform requires of a synchronous call, and unlike a system that would
// write through it, a missing bytes-returned pointer fails before anything is sent.
TEST_F(DeviceClientTest, SynchronousRequestWithoutABytesReturnedPointerIsRefused) {
    ScriptedDriver driver(SocketPath(), [](int fd) {
        AnswerOpen(fd, 0);
        EXPECT_EQ(ReadExactly(fd, 1), Bytes{}) << "the refused request reached the driver";
    });
    HANDLE device = OpenLamp();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    std::uint8_t input[4] = {1, 0, 0, 0};
    EXPECT_FALSE(DeviceIoControl(device, LampCode, input, 4, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(device));
}

TEST_F(DeviceClientTest, HandlesThatAreNotDevicesAreRefused) {
    EXPECT_FALSE(SendControl(INVALID_HANDLE_VALUE, 1, {0, 0, 0, 0}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(CloseHandle(nullptr));
}

// A closed handle is gone: using or closing it again is refused, never a read
// of the memory it had.
TEST_F(DeviceClientTest, ClosedHandleIsRefusedAfterwards) {
    ScriptedDriver driver(SocketPath(), [](int fd) {
        AnswerOpen(fd, 0);
        DrainUntilClosed(fd);
    });
    HANDLE device = OpenLamp();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_FALSE(CloseHandle(device));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SendControl(device, LampCode, {1, 0, 0, 0}));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
