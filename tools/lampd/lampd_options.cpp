#include "lampd_options.h"

#include <cstdlib>
#include <cstring>

#include "device_directory.h"

namespace lumivarden::lampd {

const char* const UsageText =
    "Usage: lumivarden-lampd [--name DEVICE] [--device-dir DIR] [--log FILE]\n"
    "                        [--led NAME|PATH [--brightness N]] [--led-class-dir DIR]\n"
    "       lumivarden-lampd --list-leds [--led-class-dir DIR]\n"
    "\n"
    "Serves the lamp device DEVICE (default \"CIF1:\") to lumivarden as a Unix socket\n"
    "in the device folder, and prints \"lamp on\" or \"lamp off\" each time the lamp is set.\n"
    "\n"
    "  --name DEVICE       the device name to serve (default CIF1:)\n"
    "  --device-dir DIR    the device folder (default $LUMIVARDEN_DEVICE_DIR, else\n"
    "                      $XDG_RUNTIME_DIR/lumivarden/devices, else /tmp/lumivarden-UID/devices)\n"
    "  --log FILE          append every request and its status to FILE\n"
    "  --led NAME|PATH     also switch this LED: a name under the LED class folder, or the\n"
    "                      path of an LED folder; on writes its max_brightness, off writes 0\n"
    "  --brightness N      write N instead of max_brightness for on (1 to max_brightness)\n"
    "  --led-class-dir DIR the LED class folder (default /sys/class/leds)\n"
    "  --list-leds         print the names of the LEDs in the LED class folder\n"
    "  --help              show this text\n"
    "\n"
    "Stops on SIGINT, SIGTERM or SIGHUP and removes its socket.\n";

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            options->help = true;
            continue;
        }
        if (std::strcmp(arg, "--list-leds") == 0) {
            options->listLeds = true;
            continue;
        }
        std::string* target = nullptr;
        if (std::strcmp(arg, "--name") == 0) target = &options->deviceName;
        if (std::strcmp(arg, "--device-dir") == 0) target = &options->deviceDirectory;
        if (std::strcmp(arg, "--log") == 0) target = &options->logPath;
        if (std::strcmp(arg, "--led") == 0) target = &options->led;
        if (std::strcmp(arg, "--led-class-dir") == 0) target = &options->ledClassFolder;
        std::string brightness;
        if (std::strcmp(arg, "--brightness") == 0) target = &brightness;
        if (target == nullptr) {
            *error = std::string("unknown option '") + arg + "'";
            return false;
        }
        if (i + 1 >= argc || argv[i + 1][0] == '\0') {
            *error = std::string("option '") + arg + "' needs a value";
            return false;
        }
        *target = argv[++i];
        if (target == &brightness) {
            char* end = nullptr;
            const unsigned long value = std::strtoul(brightness.c_str(), &end, 10);
            if (brightness.empty() || *end != '\0' || brightness[0] == '-' ||
                value > 0xFFFFFFFFul) {
                *error = "--brightness takes a whole number, not '" + brightness + "'";
                return false;
            }
            options->brightness = static_cast<unsigned>(value);
        }
    }
    if (options->brightness && options->led.empty()) {
        *error = "--brightness goes with --led";
        return false;
    }
    const std::u16string wideName(options->deviceName.begin(), options->deviceName.end());
    if (device::SocketName(wideName) != options->deviceName) {
        *error = "'" + options->deviceName +
                 "' cannot be a device name (printable ASCII without '/', up to 64 characters)";
        return false;
    }
    return true;
}

}  // namespace lumivarden::lampd
