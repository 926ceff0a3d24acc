#ifndef LUMIVARDEN_LAMPD_OPTIONS_H
#define LUMIVARDEN_LAMPD_OPTIONS_H

#include <string>

namespace lumivarden::lampd {

struct Options {
    std::string deviceName = "CIF1:";
    std::string deviceDirectory;  // empty: the usual place for device sockets
    std::string logPath;          // empty: no request log
    bool help = false;
};

// Fills the options from the command line; on a mistake, says what is wrong.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

extern const char* const UsageText;

}  // namespace lumivarden::lampd

#endif
