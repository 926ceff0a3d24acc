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
#include "device_socket.h"
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

// Descriptors 0 to 2 are the standard streams whatever the caller left
// closed: otherwise the first files opened would take their numbers, and lamp
// lines meant for standard output would land in them.
bool OpenStandardStreams() {
    for (;;) {
        const int fd = open("/dev/null", O_RDWR);  // a stream: kept across exec
        if (fd < 0) return false;
        if (fd > 2) {
            close(fd);
            return true;
        }
    }
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "lumivarden-lampd: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lumivarden;
    if (!OpenStandardStreams()) return 1;
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
        const int failure = errno;
        if (log != nullptr) std::fclose(log);
        return Fail(std::string("cannot create a pipe: ") + std::strerror(failure));
    }
    stopWriteFd = stopPipe[1];
    // A closed terminal stops the driver as a request to stop does; a reader of
    // its output that goes away only makes those writes fail.
    const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int stop : stopSignals) sigaction(stop, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    lampd::DeviceSocket device;
    const bool served =
        lampd::OpenDeviceSocket(directory.path + "/" + options.deviceName, &device, &error);
    if (served) {
        lampd::Serve({device.listener.get(), stdout, log, stopPipe[0],
                      options.led.empty() ? nullptr : &led});
        lampd::CloseDeviceSocket(device);
    }

    for (int stop : stopSignals) signal(stop, SIG_IGN);  // the pipe goes away next
    close(stopPipe[1]);
    close(stopPipe[0]);
    if (log != nullptr) std::fclose(log);
    return served ? 0 : Fail(error);
}
