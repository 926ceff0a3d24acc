#include "lampd_options.h"

#include <cstring>

namespace lumivarden::lampd {

const char* const UsageText =
    "Usage: lumivarden-lampd [--name DEVICE] [--device-dir DIR] [--log FILE]\n"
    "\n"
    "Serves the lamp device DEVICE (default \"CIF1:\") to lumivarden as a Unix socket\n"
    "in the device folder, and prints \"lamp on\" or \"lamp off\" each time the lamp is set.\n"
    "\n"
    "  --name DEVICE     the device name to serve (default CIF1:)\n"
    "  --device-dir DIR  the device folder (default $LUMIVARDEN_DEVICE_DIR, else\n"
    "                    $XDG_RUNTIME_DIR/lumivarden/devices, else /tmp/lumivarden-UID/devices)\n"
    "  --log FILE        append every request and its status to FILE\n"
    "  --help            show this text\n"
    "\n"
    "Stops on SIGINT or SIGTERM and removes its socket.\n";

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options->help = true;
            continue;
        }
        std::string* target = nullptr;
        if (std::strcmp(arg, "--name") == 0) target = &options->deviceName;
        if (std::strcmp(arg, "--device-dir") == 0) target = &options->deviceDirectory;
        if (std::strcmp(arg, "--log") == 0) target = &options->logPath;
        if (target == nullptr) {
            *error = std::string("unknown option '") + arg + "'";
            return false;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            *error = std::string("option '") + arg + "' needs a value";
            return false;
        }
        *target = argv[++i];
    }
    return true;
}

}  // namespace lumivarden::lampd
