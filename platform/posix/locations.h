// Where the host layer keeps its state, in one place: the registry's folder
// and the folder of device sockets, each from an override, else the XDG base
// folders, else a fallback.
#ifndef LUMIVARDEN_POSIX_LOCATIONS_H
#define LUMIVARDEN_POSIX_LOCATIONS_H

#include <string>

namespace lumivarden::host {

// $LUMIVARDEN_REGISTRY_DIR, else $XDG_STATE_HOME/lumivarden/registry, else
// ~/.local/state/lumivarden/registry. Empty when no home can be found.
std::string RegistryDirectory();

struct DeviceDirectory {
    std::string path;
    // "/tmp/lumivarden-<uid>" when no runtime folder is set: shared ground, so it
    // must be a real folder that the user owns before anything in it is trusted.
    std::string privateRoot;
};

// $LUMIVARDEN_DEVICE_DIR, else $XDG_RUNTIME_DIR/lumivarden/devices, else
// /tmp/lumivarden-<uid>/devices.
DeviceDirectory LocateDeviceDirectory();

}  // namespace lumivarden::host

#endif
