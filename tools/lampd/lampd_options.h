#ifndef LUMIVARDEN_LAMPD_OPTIONS_H
#define LUMIVARDEN_LAMPD_OPTIONS_H

#include <optional>
#include <string>

#include "led.h"

namespace lumivarden::lampd {

struct Options {
    std::string deviceName = "CIF1:";
    std::string deviceDirectory;  // empty: the usual place for device sockets
    std::string logPath;          // empty: no request log
    std::string led;              // empty: no real LED, the lamp is only printed
    std::optional<unsigned> brightness;
    std::string ledClassFolder = DefaultLedClassFolder;
    bool listLeds = false;
    bool help = false;
};

// Fills the options from the command line; on a mistake, says what is wrong.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);

extern const char* const UsageText;

}  // namespace lumivarden::lampd

#endif
