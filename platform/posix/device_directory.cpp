#include "device_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "folders.h"

namespace lumivarden::device {

bool IsTrusted(const DeviceDirectory& directory) {
    if (directory.privateRoot.empty()) return true;
    struct stat info {};
    return lstat(directory.privateRoot.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == geteuid() && (info.st_mode & 0077) == 0;
}

bool PrepareDeviceDirectory(const DeviceDirectory& directory, std::string* error) {
    if (!directory.privateRoot.empty()) {
        if (mkdir(directory.privateRoot.c_str(), 0700) != 0 && errno != EEXIST) {
            *error = directory.privateRoot + ": cannot create folder: " + std::strerror(errno);
            return false;
        }
        if (!IsTrusted(directory)) {
            *error = directory.privateRoot +
                     ": not a private folder of this user (another owner, a link, or open to "
                     "others); remove it or set LUMIVARDEN_DEVICE_DIR";
            return false;
        }
    }
    return host::MakeFolders(directory.path, error);
}

std::string SocketName(std::u16string_view deviceName) {
    if (deviceName.empty() || deviceName.size() > 64 || deviceName == u"." || deviceName == u"..") {
        return std::string();
    }
    std::string name;
    for (char16_t c : deviceName) {
        if (c < 0x21 || c > 0x7E || c == u'/') return std::string();
        name.push_back(static_cast<char>(c));
    }
    return name;
}

}  // namespace lumivarden::device
