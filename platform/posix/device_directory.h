// Where device names live on a POSIX host: one Unix socket per device, named
// like the device ("CIF1:"), in a folder private to the user.
#ifndef LUMIVARDEN_POSIX_DEVICE_DIRECTORY_H
#define LUMIVARDEN_POSIX_DEVICE_DIRECTORY_H

#include <string>
#include <string_view>

#include "locations.h"

namespace lumivarden::device {

using host::DeviceDirectory;
using host::LocateDeviceDirectory;

// Whether the private root, if there is one, is a folder (not a link) owned by the user.
bool IsTrusted(const DeviceDirectory& directory);

// Creates the folder and its missing parents (mode 0700). On failure, says why.
bool PrepareDeviceDirectory(const DeviceDirectory& directory, std::string* error);

// The socket file name for a device name, or empty when the name cannot be one:
// printable ASCII without '/', at most 64 characters, not "." or "..".
std::string SocketName(std::u16string_view deviceName);

}  // namespace lumivarden::device

#endif
