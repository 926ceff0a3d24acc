// A Linux LED class device (/sys/class/leds/NAME): the lamp the stand-in
// driver switches when asked to drive a real one.
#ifndef LUMIVARDEN_LAMPD_LED_H
#define LUMIVARDEN_LAMPD_LED_H

#include <optional>
#include <string>
#include <vector>

namespace lumivarden::lampd {

constexpr const char* DefaultLedClassFolder = "/sys/class/leds";

// What lets a user without root switch an LED, said when a write is refused.
constexpr const char* LedPermissionHint =
    "the udev rule 90-lumivarden-leds.rules (installed in lib/udev/rules.d) lets the group "
    "'video' write it: install it, reload udev (udevadm control --reload; udevadm trigger "
    "--subsystem-match=leds), join the group (usermod -aG video $USER) and log in again";

struct Led {
    std::string brightnessPath;
    unsigned onBrightness = 0;
};

// Finds the LED by name in the class folder, or by path when the name holds a
// '/', and checks that its files can be read and written. The brightness for
// "on" is the LED's maximum unless one is given, which must lie within 1..max.
bool OpenLed(const std::string& nameOrPath, const std::string& classFolder,
             std::optional<unsigned> brightness, Led* led, std::string* error);

// Switches the LED; on failure, says why.
bool SetLed(const Led& led, bool on, std::string* error);

// The LED names in the class folder, sorted.
bool ListLeds(const std::string& classFolder, std::vector<std::string>* names, std::string* error);

}  // namespace lumivarden::lampd

#endif
