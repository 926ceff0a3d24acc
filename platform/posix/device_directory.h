// Where device names live on a POSIX host: one Unix socket per device, named
// like the device ("CIF1:"), in a folder private to the user.
#ifndef LUMIVARDEN_POSIX_DEVICE_DIRECTORY_H
#define LUMIVARDEN_POSIX_DEVICE_DIRECTORY_H

#include <string>
#include <string_view>

namespace lumivarden::device {

struct DeviceDirectory {
    std::string path;
    // "/tmp/lumivarden-<uid>" when no runtime folder is set: shared ground, so it
    // must be a real folder that the user owns before anything in it is trusted.
    std::string privateRoot;
};

// $LUMIVARDEN_DEVICE_DIR, else $XDG_RUNTIME_DIR/lumivarden/devices, else
// /tmp/lumivarden-<uid>/devices.
DeviceDirectory LocateDeviceDirectory();

// Whether the private root, if there is one, is a folder (not a link) owned by the user.
bool IsTrusted(const DeviceDirectory& directory);

// Creates the folder and its missing parents (mode 0700). On failure, says why.
bool PrepareDeviceDirectory(const DeviceDirectory& directory, std::string* error);

// The socket file name for a device name, or empty when the name cannot be one:
// printable ASCII without '/', at most 64 characters, not "." or "..".
std::string SocketName(std::u16string_view deviceName);

}  // namespace lumivarden::device

#endif
