// Runs Windows programs and the platform's own reg tool under Wine, in the
// prefix that the test run shares.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hive.h"
#include "test_support.h"

namespace testing_wine {

// Where this build's Windows programs and Wine are; empty when missing.
std::string WindowsProgram();      // lumivarden.exe
std::string ConformanceProgram();  // lumivarden-registry-conformance.exe

// Why the Wine tests cannot run here, or nothing when they can.
std::optional<std::string> Unavailable();

// A Unix path as Windows programs under Wine name it (drive Z:).
std::string WindowsPath(const std::string& unixPath);

// Runs a Windows program or a Wine built-in such as "reg" in the prefix.
testing_support::Finished Run(const std::vector<std::string>& arguments,
                              const std::string& outputFolder);

// Writes the key below HKEY_CURRENT_USER to the file with `reg export`;
// returns whether it succeeded.
bool ExportFile(const std::string& keyPath, const std::string& file,
                const std::string& outputFolder);

// The key as `reg export` writes it, parsed by the host layer; nothing when the
// export fails or does not parse.
std::optional<lumivarden::host::Hive> Export(const std::string& keyPath,
                                             const std::string& workFolder);

}  // namespace testing_wine
