// Crash torture: launches the tool over and over on a hive full of other
// programs' values, killing launches at random moments and at each step of a
// hive write, and checks after every crash that nothing was lost or garbled.
//
//   lumivarden-torture --program PATH [--seconds N] [--seed N]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "hive_file.h"
#include "hive_text.h"
#include "seed_hive.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using Clock = std::chrono::steady_clock;
using lumivarden::host::Hive;

struct Figures {
    long launches = 0;
    long completed = 0;
    long kills = 0;
    long injected = 0;
    long corrupt = 0;
    long lostOrChanged = 0;
    long wrongToggles = 0;
    long tempLeft = 0;
    long strayTemp = 0;
};

const char* const Moments[] = {"temp-partial", "temp-written", "before-rename",
                               "before-folder-flush"};

// Starts the program with the registry folder and, when given, a crash moment.
pid_t Launch(const std::string& program, const std::string& registry, const char* crashAt) {
    std::vector<std::string> environment = {"LUMIVARDEN_REGISTRY_DIR=" + registry,
                                            "LUMIVARDEN_DEVICE_DIR=" + registry + "/no-devices"};
    if (crashAt != nullptr) environment.push_back(std::string("LUMIVARDEN_CRASH_AT=") + crashAt);
    std::vector<char*> env;
    env.reserve(environment.size() + 1);
    for (std::string& entry : environment) env.push_back(entry.data());
    env.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, env.data()) != 0) {
        std::fprintf(stderr, "torture: cannot start %s\n", program.c_str());
        std::exit(2);
    }
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    std::string program;
    double seconds = 60;
    std::uint32_t seed = static_cast<std::uint32_t>(std::random_device{}());
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--program") == 0) program = argv[i + 1];
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
        if (std::strcmp(argv[i], "--seed") == 0)
            seed = static_cast<std::uint32_t>(std::atol(argv[i + 1]));
    }
    if (program.empty() || seconds <= 0) {
        std::fprintf(stderr, "usage: lumivarden-torture --program PATH [--seconds N] [--seed N]\n");
        return 2;
    }

    testing_support::TempDir temp;
    const std::string registry = temp / "registry";
    const std::string hivePath = registry + "/HKEY_CURRENT_USER.reg";
    const std::string tempPath = registry + "/HKEY_CURRENT_USER.reg.tmp";
    std::filesystem::create_directories(registry);
    const Hive seeded = testing_support::SeedHive(60, 6, seed);
    testing_support::WriteFile(hivePath, lumivarden::host::WriteHive(seeded));
    const Hive untouchable = testing_support::WithoutEnabled(seeded);
    std::printf("torture: seed %u, %zu keys, hive of %llu bytes, %.0f s\n", seed,
                seeded.keys.size(),
                static_cast<unsigned long long>(std::filesystem::file_size(hivePath)), seconds);

    std::mt19937 random(seed);
    Figures figures;
    std::string before = "2";
    bool strayPending = false;
    // Random kills land anywhere in a launch: up to one and a half clean launches in.
    double cleanMicros = 2000;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (long round = 0; Clock::now() < end; ++round) {
        const int mode = static_cast<int>(round % 3);  // injected crash, random kill, clean run
        const char* moment = mode == 0 ? Moments[(round / 3) % 4] : nullptr;
        const auto started = Clock::now();
        const pid_t pid = Launch(program, registry, moment);
        ++figures.launches;
        if (mode == 1) {
            const auto range = static_cast<std::uint32_t>(1.5 * cleanMicros) + 1;
            std::this_thread::sleep_for(std::chrono::microseconds(random() % range));
            kill(pid, SIGKILL);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (mode == 2) {
            const double took =
                std::chrono::duration<double, std::micro>(Clock::now() - started).count();
            cleanMicros = 0.8 * cleanMicros + 0.2 * took;
        }
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        figures.kills += (mode == 1 && killed);
        figures.injected += (mode == 0 && killed);
        figures.completed += clean;
        if (!killed && !clean) {
            std::printf("torture: launch ended with status %d\n", status);
            ++figures.lostOrChanged;
        }

        const std::optional<Hive> hive = testing_support::ReadHiveFile(hivePath);
        if (!hive) {
            ++figures.corrupt;
            std::printf("torture: round %ld left a hive that does not parse\n", round);
            break;
        }
        const std::string now = testing_support::EnabledText(*hive);
        if (now.empty() || testing_support::WithoutEnabled(*hive) != untouchable) {
            ++figures.lostOrChanged;
            std::printf("torture: round %ld lost or changed a value\n", round);
        }
        if (clean && now == before) ++figures.wrongToggles;
        if (clean && strayPending && testing_support::FileExists(tempPath)) ++figures.strayTemp;
        strayPending = !clean && testing_support::FileExists(tempPath);
        figures.tempLeft += strayPending;
        before = now;
    }

    const bool ok = figures.corrupt == 0 && figures.lostOrChanged == 0 &&
                    figures.wrongToggles == 0 && figures.strayTemp == 0;
    std::printf(
        "torture: %ld launches (%ld completed), %ld random kills, %ld injected crashes, "
        "%ld temporary files left by crashes; %ld corrupt hives, %ld lost or changed values, "
        "%ld wrong toggles, %ld stray temporary files after the next write: %s\n",
        figures.launches, figures.completed, figures.kills, figures.injected, figures.tempLeft,
        figures.corrupt, figures.lostOrChanged, figures.wrongToggles, figures.strayTemp,
        ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
