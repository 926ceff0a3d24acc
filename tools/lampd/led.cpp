#include "led.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lumivarden::lampd {
namespace {

std::string Reason(const std::string& path, const char* what) {
    return path + ": " + what + ": " + std::strerror(errno);
}

// Why a write is refused; when it is for lack of permission, what would grant it.
std::string WriteRefusal(const std::string& path) {
    const bool denied = errno == EACCES || errno == EPERM;
    std::string reason = Reason(path, "cannot write");
    if (denied) reason += "; " + std::string(LedPermissionHint);
    return reason;
}

bool ReadNumber(const std::string& path, unsigned* number, std::string* error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = Reason(path, "cannot read");
        return false;
    }
    char text[32] = {};
    const ssize_t got = read(fd, text, sizeof text - 1);
    const int readError = errno;
    close(fd);
    if (got < 0) {
        errno = readError;
        *error = Reason(path, "cannot read");
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (end == text || errno != 0 || value > 0xFFFFFFFFul || (*end != '\0' && *end != '\n')) {
        *error = path + ": does not hold a number";
        return false;
    }
    *number = static_cast<unsigned>(value);
    return true;
}

bool WriteNumber(const std::string& path, unsigned number, std::string* error) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        *error = WriteRefusal(path);
        return false;
    }
    const std::string text = std::to_string(number) + "\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int writeError = errno;
    close(fd);
    if (!written) {
        errno = writeError;
        *error = Reason(path, "cannot write");
    }
    return written;
}

}  // namespace

bool OpenLed(const std::string& nameOrPath, const std::string& classFolder,
             std::optional<unsigned> brightness, Led* led, std::string* error) {
    const bool isPath = nameOrPath.find('/') != std::string::npos;
    const std::string folder = isPath ? nameOrPath : classFolder + "/" + nameOrPath;
    struct stat info {};
    if (nameOrPath.empty() || stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *error = folder + ": no such LED" + (isPath ? "" : " (see --list-leds)");
        return false;
    }
    unsigned maximum = 0;
    if (!ReadNumber(folder + "/max_brightness", &maximum, error)) return false;
    if (maximum == 0) {
        *error = folder + "/max_brightness: is 0, so the LED cannot be switched on";
        return false;
    }
    if (brightness && (*brightness < 1 || *brightness > maximum)) {
        *error = "--brightness " + std::to_string(*brightness) +
                 " is out of range for this LED (1 to " + std::to_string(maximum) + ")";
        return false;
    }
    led->brightnessPath = folder + "/brightness";
    led->onBrightness = brightness.value_or(maximum);
    // Checked without changing the lamp: it is switched only when asked.
    if (access(led->brightnessPath.c_str(), W_OK) != 0) {
        *error = WriteRefusal(led->brightnessPath);
        return false;
    }
    return true;
}

bool SetLed(const Led& led, bool on, std::string* error) {
    return WriteNumber(led.brightnessPath, on ? led.onBrightness : 0, error);
}

bool ListLeds(const std::string& classFolder, std::vector<std::string>* names, std::string* error) {
    DIR* folder = opendir(classFolder.c_str());
    if (folder == nullptr) {
        *error = Reason(classFolder, "cannot list LEDs");
        return false;
    }
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') names->emplace_back(entry->d_name);
    }
    closedir(folder);
    std::sort(names->begin(), names->end());
    return true;
}

}  // namespace lumivarden::lampd
