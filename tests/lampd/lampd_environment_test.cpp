// The stand-in driver as careless users and hostile surroundings start it:
// closed streams, a reader that goes away, stop signals, too few descriptors,
// rivals for its name.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "lamp_client.h"
#include "lamp_driver.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::Child;
using testing_support::FileExists;
using testing_support::Finished;
using testing_support::LampDriver;
using testing_support::RawClient;
using testing_support::ScopedEnv;
using testing_support::SwitchLamp;
using testing_support::TempDir;

class LampdEnvironmentTest : public ::testing::Test {
  protected:
    // A device folder of its own for each driver a test starts.
    std::string NewFolder() {
        std::string folder = temp / ("devices" + std::to_string(folders++));
        fs::create_directories(folder);
        return folder;
    }

    TempDir temp;
    int folders = 0;
};

// Processor time the process has used, in clock ticks.
long CpuTicks(int pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long user = 0;
    long system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stol(field);
        if (i == 15) system = std::stol(field);
    }
    return user + system;
}

// Whatever the standard streams are, lamp lines go to standard output or
// nowhere, never into another file, and the driver serves on.
TEST_F(LampdEnvironmentTest, ServesOnWithClosedStreamsOrAReaderThatIsGone) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);  // gone before the first lamp line
    const struct {
        const char* name;
        std::string setup;
        bool log;
    } cases[] = {
        {"output closed", "exec >&-", true},
        {"input and output closed", "exec <&- >&-", false},
        {"every stream closed", "exec <&- >&- 2>&-", true},
        {"output to a pipe nobody reads", "exec >&" + std::to_string(ends[1]), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = NewFolder();
        const ScopedEnv devices("LUMIVARDEN_DEVICE_DIR", folder);
        LampDriver driver(LUMIVARDEN_LAMPD, folder, temp.path(), {}, c.setup, c.log);
        for (std::uint8_t mode : {1, 2, 1}) EXPECT_TRUE(SwitchLamp(mode));
        if (c.log) {
            const std::vector<std::string> lines = driver.LogLines();
            EXPECT_EQ(lines.size(), 6u);
            for (const std::string& line : lines) {
                EXPECT_TRUE(line.rfind("open ", 0) == 0 || line.rfind("control ", 0) == 0) << line;
            }
        }
        const Finished finished = driver.Stop(SIGTERM);
        EXPECT_EQ(finished.exitStatus, 0);
        EXPECT_FALSE(FileExists(driver.SocketPath()));
    }
    close(ends[1]);
}

TEST_F(LampdEnvironmentTest, StopsCleanlyOnEachStopSignalAndRemovesItsSocket) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        LampDriver driver(LUMIVARDEN_LAMPD, NewFolder(), temp.path());
        const Finished finished = driver.Stop(signal);
        EXPECT_EQ(finished.exitStatus, 0);
        EXPECT_FALSE(FileExists(driver.SocketPath()));
    }
}

// Out of descriptors, a waiting connection is taken and closed at once, so the
// client learns the driver is busy and the driver does not spin on it.
TEST_F(LampdEnvironmentTest, OutOfDescriptorsShedsWaitingClientsWithoutSpinning) {
    const std::string folder = NewFolder();
    const ScopedEnv devices("LUMIVARDEN_DEVICE_DIR", folder);
    // Room for the driver's own descriptors and a few connections.
    LampDriver driver(LUMIVARDEN_LAMPD, folder, temp.path(), {}, "ulimit -n 12");
    std::vector<std::unique_ptr<RawClient>> clients;
    clients.reserve(10);
    for (int i = 0; i < 10; ++i)
        clients.push_back(std::make_unique<RawClient>(driver.SocketPath()));

    const long before = CpuTicks(driver.Pid());
    int shed = 0;
    for (auto& client : clients) shed += client->ClosedWithin(shed == 0 ? 1000 : 50);
    sleep(1);
    const long used = CpuTicks(driver.Pid()) - before;
    EXPECT_GE(shed, 1);
    EXPECT_LT(used, sysconf(_SC_CLK_TCK) / 4) << "ticks used in about a second";

    clients.clear();
    EXPECT_TRUE(testing_support::WaitFor([] { return SwitchLamp(1) == TRUE; }));
    EXPECT_EQ(driver.Stop(SIGTERM).exitStatus, 0);
}

// The check for a running driver and the socket's move into place are one
// step: of drivers started together, one serves and the others refuse.
TEST_F(LampdEnvironmentTest, DriversStartedTogetherLeaveExactlyOneServing) {
    const std::string folder = NewFolder();
    const ScopedEnv devices("LUMIVARDEN_DEVICE_DIR", folder);
    const std::string socket = folder + "/CIF1:";
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::unique_ptr<Child>> drivers;
        drivers.reserve(3);
        for (int i = 0; i < 3; ++i) {
            drivers.push_back(std::make_unique<Child>(
                std::vector<std::string>{LUMIVARDEN_LAMPD, "--device-dir", folder},
                std::vector<std::string>{}, temp.path()));
        }
        std::vector<Finished> refused;
        ASSERT_TRUE(testing_support::WaitFor(
            [&] {
                for (auto& driver : drivers) {
                    if (auto finished = driver->EndsWithin(std::chrono::milliseconds(0))) {
                        refused.push_back(*finished);
                    }
                }
                return refused.size() == drivers.size() - 1;
            },
            std::chrono::seconds(3)));
        for (const Finished& finished : refused) {
            EXPECT_EQ(finished.exitStatus, 1);
            EXPECT_NE(finished.err.find("another driver is already serving"), std::string::npos)
                << finished.err;
        }
        EXPECT_TRUE(testing_support::WaitFor([] { return SwitchLamp(1) == TRUE; }));
        for (auto& driver : drivers) {
            if (driver->pid() > 0) {
                driver->Signal(SIGTERM);
                EXPECT_EQ(driver->Wait().exitStatus, 0);
            }
        }
        EXPECT_FALSE(FileExists(socket));
    }
}

// A socket that took the driver's name meanwhile is not the driver's to remove.
TEST_F(LampdEnvironmentTest, StoppingRemovesOnlyItsOwnSocket) {
    const std::string folder = NewFolder();
    LampDriver driver(LUMIVARDEN_LAMPD, folder, temp.path());
    const std::string other = folder + "/other";
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, other.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    struct stat placed {};
    ASSERT_EQ(stat(other.c_str(), &placed), 0);
    ASSERT_EQ(rename(other.c_str(), driver.SocketPath().c_str()), 0);

    EXPECT_EQ(driver.Stop(SIGTERM).exitStatus, 0);
    struct stat left {};
    ASSERT_EQ(stat(driver.SocketPath().c_str(), &left), 0);
    EXPECT_EQ(left.st_ino, placed.st_ino);
    close(fd);
}

}  // namespace
