// The stand-in driver, run as its own process for a test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace testing_support {

class LampDriver {
  public:
    // Starts lumivarden-lampd serving "CIF1:" in the folder, logging requests to
    // folder/requests.log unless told not to, and waits until it accepts. The
    // shell commands in setup, if any, run first (see UnderShell).
    LampDriver(const std::string& program, const std::string& deviceFolder,
               const std::string& outputFolder, std::vector<std::string> extraArguments = {},
               const std::string& setup = "", bool log = true);

    int Pid() const { return child_->pid(); }
    std::string SocketPath() const { return folder_ + "/CIF1:"; }
    std::string LogPath() const { return folder_ + "/requests.log"; }
    std::vector<std::string> LampLines() const;
    std::vector<std::string> LogLines() const;
    // Stops it with the signal and returns how it ended.
    Finished Stop(int signal);

  private:
    std::string folder_;
    std::unique_ptr<Child> child_;
};

std::vector<std::string> Lines(const std::string& text);

}  // namespace testing_support
