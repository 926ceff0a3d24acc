// lumivarden-lampd: a stand-in for the lamp driver that answers to "CIF1:".
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device_directory.h"
#include "lampd_options.h"
#include "lampd_server.h"
#include "led.h"

namespace {

int stopWriteFd = -1;

void OnStopSignal(int) {
    const char byte = 0;
    const ssize_t ignored = write(stopWriteFd, &byte, 1);
    (void)ignored;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "lumivarden-lampd: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lumivarden;
    lampd::Options options;
    std::string error;
    if (!lampd::ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "lumivarden-lampd: %s\n%s", error.c_str(), lampd::UsageText);
        return 2;
    }
    if (options.help) {
        std::fputs(lampd::UsageText, stdout);
        return 0;
    }
    if (options.listLeds) {
        std::vector<std::string> names;
        if (!lampd::ListLeds(options.ledClassFolder, &names, &error)) return Fail(error);
        for (const std::string& name : names) std::printf("%s\n", name.c_str());
        return 0;
    }
    lampd::Led led;
    if (!options.led.empty() &&
        !lampd::OpenLed(options.led, options.ledClassFolder, options.brightness, &led, &error)) {
        return Fail(error);
    }

    const std::u16string wideName(options.deviceName.begin(), options.deviceName.end());
    const std::string socketName = device::SocketName(wideName);
    if (socketName.empty()) {
        return Fail("'" + options.deviceName +
                    "' cannot be a device name (printable ASCII without '/', up to 64 characters)");
    }
    device::DeviceDirectory directory = device::LocateDeviceDirectory();
    if (!options.deviceDirectory.empty())
        directory = device::DeviceDirectory{options.deviceDirectory, ""};
    if (!device::PrepareDeviceDirectory(directory, &error)) return Fail(error);

    std::FILE* log = nullptr;
    if (!options.logPath.empty()) {
        log = std::fopen(options.logPath.c_str(), "ae");
        if (log == nullptr) {
            return Fail(options.logPath + ": cannot open log: " + std::strerror(errno));
        }
    }

    int stopPipe[2];
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return Fail(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
    stopWriteFd = stopPipe[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const lampd::ServerSetup setup{directory.path + "/" + socketName, stdout, log, stopPipe[0],
                                   options.led.empty() ? nullptr : &led};
    const bool served = lampd::Serve(setup, &error);

    signal(SIGINT, SIG_IGN);  // the pipe goes away next
    signal(SIGTERM, SIG_IGN);
    close(stopPipe[1]);
    close(stopPipe[0]);
    if (log != nullptr) std::fclose(log);
    return served ? 0 : Fail(error);
}
