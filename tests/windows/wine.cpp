#include "wine.h"

#include <unistd.h>

#include "hive_file.h"

namespace testing_wine {

std::string WindowsProgram() {
    return LUMIVARDEN_WINDOWS_DIR[0] != 0 ? LUMIVARDEN_WINDOWS_DIR "/lumivarden.exe" : "";
}

std::string ConformanceProgram() {
    return LUMIVARDEN_WINDOWS_DIR[0] != 0 ? LUMIVARDEN_WINDOWS_DIR
               "/lumivarden-registry-conformance.exe"
                                          : "";
}

std::optional<std::string> Unavailable() {
    if (WindowsProgram().empty())
        return "no mingw-w64 compiler: the Windows programs are not built";
    if (LUMIVARDEN_WINE[0] == 0) return "Wine is not installed";
    if (!testing_support::FileExists(LUMIVARDEN_WINE_PREFIX "/lumivarden-ready")) {
        return "the shared Wine prefix " LUMIVARDEN_WINE_PREFIX " was not created";
    }
    return std::nullopt;
}

std::string WindowsPath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

testing_support::Finished Run(const std::vector<std::string>& arguments,
                              const std::string& outputFolder) {
    std::vector<std::string> argv{LUMIVARDEN_WINE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return testing_support::RunToEnd(
        argv, {"WINEPREFIX=" LUMIVARDEN_WINE_PREFIX, "WINEDEBUG=-all", "LC_ALL=C.UTF-8"},
        outputFolder);
}

bool ExportFile(const std::string& keyPath, const std::string& file,
                const std::string& outputFolder) {
    unlink(file.c_str());
    return Run({"reg", "export", "HKEY_CURRENT_USER\\" + keyPath, WindowsPath(file), "/y"},
               outputFolder)
               .exitStatus == 0;
}

std::optional<lumivarden::host::Hive> Export(const std::string& keyPath,
                                             const std::string& workFolder) {
    const std::string file = workFolder + "/export.reg";
    if (!ExportFile(keyPath, file, workFolder)) return std::nullopt;
    return testing_support::ReadHiveFile(file);
}

}  // namespace testing_wine
