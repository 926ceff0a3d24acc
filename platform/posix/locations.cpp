#include "locations.h"

#include <pwd.h>
#include <unistd.h>

#include "folders.h"

namespace lumivarden::host {
namespace {

std::string HomeDirectory() {
    std::string home = EnvironmentValue("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(geteuid())) {
            if (entry->pw_dir != nullptr) home = entry->pw_dir;
        }
    }
    return home;
}

// An XDG base folder's value; relative values are to be ignored.
std::string AbsoluteEnvironmentValue(const char* name) {
    std::string value = EnvironmentValue(name);
    return !value.empty() && value.front() == '/' ? value : std::string();
}

}  // namespace

std::string RegistryDirectory() {
    std::string directory = EnvironmentValue("LUMIVARDEN_REGISTRY_DIR");
    if (!directory.empty()) return directory;
    std::string state = AbsoluteEnvironmentValue("XDG_STATE_HOME");
    if (state.empty()) {
        const std::string home = HomeDirectory();
        if (home.empty()) return std::string();
        state = home + "/.local/state";
    }
    return state + "/lumivarden/registry";
}

DeviceDirectory LocateDeviceDirectory() {
    DeviceDirectory directory;
    directory.path = EnvironmentValue("LUMIVARDEN_DEVICE_DIR");
    if (!directory.path.empty()) return directory;
    const std::string runtime = AbsoluteEnvironmentValue("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        directory.path = runtime + "/lumivarden/devices";
        return directory;
    }
    directory.privateRoot = "/tmp/lumivarden-" + std::to_string(geteuid());
    directory.path = directory.privateRoot + "/devices";
    return directory;
}

}  // namespace lumivarden::host
