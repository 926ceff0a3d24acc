#include "lamp_driver.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <sstream>
#include <stdexcept>

namespace testing_support {

LampDriver::LampDriver(const std::string& program, const std::string& deviceFolder,
                       const std::string& outputFolder, std::vector<std::string> extraArguments,
                       const std::string& setup, bool log)
    : folder_(deviceFolder) {
    std::vector<std::string> argv = {program, "--device-dir", deviceFolder};
    if (log) argv.insert(argv.end(), {"--log", LogPath()});
    argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
    if (!setup.empty()) argv = UnderShell(setup, argv);
    child_ = std::make_unique<Child>(argv, std::vector<std::string>{}, outputFolder);
    const bool ready = WaitFor([&] {
        struct stat info {};
        return stat(SocketPath().c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
    });
    if (!ready) throw std::runtime_error("lumivarden-lampd did not start: " + child_->Err());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> LampDriver::LampLines() const {
    return Lines(child_->Out());
}
std::vector<std::string> LampDriver::LogLines() const {
    return Lines(ReadFile(LogPath()));
}

Finished LampDriver::Stop(int signal) {
    child_->Signal(signal);
    return child_->Wait();
}

}  // namespace testing_support
