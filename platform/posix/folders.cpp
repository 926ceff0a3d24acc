#include "folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lumivarden::host {

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

bool MakeFolders(const std::string& path, std::string* error) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        if (error != nullptr) *error = path + ": exists and is not a folder";
        return false;
    }
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), error)) {
        return false;
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error != nullptr) *error = path + ": cannot create folder: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool IsOwnClosedFolder(const struct stat& info) {
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 0022) == 0;
}

}  // namespace lumivarden::host
