// The registry conformance table, run against the host layer and against
// Wine's registry: every compared line must be the same.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "wine.h"

namespace {

using testing_support::TempDir;

// The compared lines of the program's output, without Windows line ends.
std::vector<std::string> ComparedLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("~ ", 0) != 0) lines.push_back(line);
    }
    return lines;
}

TEST(ConformanceTest, HostRegistryAnswersAsThePlatformDoes) {
    if (const auto why = testing_wine::Unavailable()) GTEST_SKIP() << *why;
    TempDir work;
    const std::string key = "Software\\Lumivarden Conformance\\" + std::to_string(getpid());

    const auto host =
        testing_support::RunToEnd({LUMIVARDEN_CONFORMANCE, key},
                                  {"LUMIVARDEN_REGISTRY_DIR=" + work / "registry"}, work.path());
    const auto platform = testing_wine::Run({testing_wine::ConformanceProgram(), key}, work.path());
    // Its keys go beyond the platform's documented limits, which Wine allows.
    testing_wine::Run({"reg", "delete", "HKEY_CURRENT_USER\\" + key, "/f"}, work.path());
    ASSERT_EQ(host.exitStatus, 0) << host.err;
    ASSERT_EQ(platform.exitStatus, 0) << platform.err;

    const auto expected = ComparedLines(platform.out);
    const auto actual = ComparedLines(host.out);
    ASSERT_GT(expected.size(), 40u) << platform.out;
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        EXPECT_EQ(i < actual.size() ? actual[i] : "(nothing)",
                  i < expected.size() ? expected[i] : "(nothing)")
            << "line " << i + 1 << ": host layer, then Wine";
    }
}

}  // namespace
