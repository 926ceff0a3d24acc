// Times whole launches side by side: each round runs every case once, in turn,
// and the figures are medians over the rounds. Wall time, CPU time and peak
// memory come from the kernel's accounting of each child.
//
//   lumivarden-bench --program P --empty P --driver P --shell S [--rounds N] [--dir D]
//                    [--plain-program P] [--plain-empty P] [--exe WINDOWS_EXE]
//
// --plain-program is the tool from a plain `cmake -DCMAKE_BUILD_TYPE=Release`
// build, --plain-empty the empty program as a user compiles it (g++ -O2,
// shared libraries): each is timed beside the others when given.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_hives.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Case {
    Case(std::string caseName, std::vector<std::string> arguments,
         std::vector<std::string> environment)
        : name(std::move(caseName)), argv(std::move(arguments)), env(std::move(environment)) {}

    std::string name;
    std::vector<std::string> argv;
    std::vector<std::string> env;
    std::vector<double> wall, cpu, rssKiB;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Times one run.
void RunOnce(Case& c) {
    std::vector<char*> argv, env;
    for (auto& a : c.argv) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : c.env) env.push_back(e.data());
    env.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), env.data()) != 0) {
        std::fprintf(stderr, "bench: cannot start %s\n", argv[0]);
        std::exit(2);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0)) {
        std::fprintf(stderr, "bench: %s ended with status %d\n", c.name.c_str(), status);
        std::exit(2);
    }
    c.wall.push_back(wall);
    c.cpu.push_back(usage.ru_utime.tv_sec * 1e6 + usage.ru_utime.tv_usec +
                    usage.ru_stime.tv_sec * 1e6 + usage.ru_stime.tv_usec);
}

// Appends " 'text'" (built by appending: GCC 12 warns falsely on a chain of +).
void AppendQuoted(std::string& command, const std::string& text) {
    command.append(" '").append(text).append("'");
}

// A run's peak resident memory in KiB, through the small starter built beside
// this program (a child spawned from here would count this process's pages).
double PeakMemory(const std::string& starter, const Case& c) {
    std::string command = "env -i";
    for (const auto& e : c.env) AppendQuoted(command, e);
    AppendQuoted(command, starter);
    for (const auto& a : c.argv) AppendQuoted(command, a);
    std::FILE* pipe = popen(command.c_str(), "r");
    double kib = -1;
    if (pipe != nullptr) {
        if (std::fscanf(pipe, "%lf", &kib) != 1) kib = -1;
        pclose(pipe);
    }
    return kib;
}

// Instructions one run executes, counted by callgrind.
long long Instructions(const Case& c) {
    std::string command;
    for (const auto& e : c.env) command += "'" + e + "' ";
    command = "env -i " + command + "valgrind --tool=callgrind --callgrind-out-file=/dev/null";
    for (const auto& a : c.argv) command += " '" + a + "'";
    command += " 2>&1 | sed -n 's/.*Collected : \\([0-9]*\\).*/\\1/p'";
    std::FILE* pipe = popen(command.c_str(), "r");
    long long count = -1;
    if (pipe != nullptr) {
        if (std::fscanf(pipe, "%lld", &count) != 1) count = -1;
        pclose(pipe);
    }
    return count;
}

long long StrippedSize(const std::string& program) {
    const std::string copy = program + ".stripped";
    const std::string command = "strip -o '" + copy + "' '" + program + "'";
    if (std::system(command.c_str()) != 0) return -1;
    const auto size = static_cast<long long>(fs::file_size(copy));
    fs::remove(copy);
    return size;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string starter =
        (fs::canonical("/proc/self/exe").parent_path() / "lumivarden-peak-memory").string();
    std::string program, empty, driver, shell, dir = "/dev/shm", exe, plainProgram, plainEmpty;
    int rounds = 200;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const std::string value = argv[i + 1];
        if (flag == "--program") program = value;
        if (flag == "--empty") empty = value;
        if (flag == "--driver") driver = value;
        if (flag == "--shell") shell = value;
        if (flag == "--rounds") rounds = std::atoi(value.c_str());
        if (flag == "--dir") dir = value;
        if (flag == "--exe") exe = value;
        if (flag == "--plain-program") plainProgram = value;
        if (flag == "--plain-empty") plainEmpty = value;
    }
    if (program.empty() || empty.empty() || driver.empty() || shell.empty() || rounds < 1) {
        std::fprintf(stderr,
                     "usage: lumivarden-bench --program P --empty P --driver P --shell S "
                     "[--rounds N] [--dir D] [--plain-program P] [--plain-empty P] "
                     "[--exe WINDOWS_EXE]\n");
        return 2;
    }

    std::string base = dir + "/lumivarden-bench-XXXXXX";
    if (mkdtemp(base.data()) == nullptr) return 2;
    auto registry = [&](const std::string& name) {
        return "LUMIVARDEN_REGISTRY_DIR=" + base + "/" + name;
    };
    const std::string noDevices = "LUMIVARDEN_DEVICE_DIR=" + base + "/no-devices";
    const std::string devices = base + "/devices";
    fs::create_directories(devices);

    pid_t driverPid = -1;
    {
        std::vector<std::string> args = {driver, "--device-dir", devices};
        std::vector<char*> a;
        for (auto& s : args) a.push_back(s.data());
        a.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn(&driverPid, a[0], &actions, nullptr, a.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        struct stat info {};
        for (int i = 0; i < 400 && stat((devices + "/CIF1:").c_str(), &info) != 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Hives of other programs' values, ten to a key, and one like the editor's
    // export of a real branch; their sizes, for the cost of each megabyte.
    std::vector<std::pair<std::string, std::size_t>> hiveSizes;
    for (int values : {1000, 10000, 100000}) {
        const std::string name = "hive" + std::to_string(values);
        hiveSizes.emplace_back(name, bench::WriteSeededHive(base + "/" + name, values, 10));
    }
    hiveSizes.emplace_back("editor", bench::WriteEditorLikeHive(base + "/editor", 5 << 20));

    std::vector<Case> cases = {
        {"empty program (floor)", {empty}, {}},
        {"launch, no driver", {program}, {registry("plain"), noDevices}},
        {"launch, with driver",
         {program},
         {registry("driver"), "LUMIVARDEN_DEVICE_DIR=" + devices}},
        {"naive shell toggle", {"/bin/sh", shell}, {registry("shell"), "PATH=/usr/bin:/bin"}},
        {"launch, 1,000 values / 100 keys", {program}, {registry("hive1000"), noDevices}},
        {"launch, 10,000 values / 1,000 keys", {program}, {registry("hive10000"), noDevices}},
        {"launch, 100,000 values / 10,000 keys", {program}, {registry("hive100000"), noDevices}},
        {"launch, 5 MB editor-like export", {program}, {registry("editor"), noDevices}},
    };
    // Optional cases go last, so that the fixed ones keep their places above.
    if (!plainEmpty.empty()) cases.push_back({"empty, g++ -O2 shared", {plainEmpty}, {}});
    if (!plainProgram.empty()) {
        cases.push_back(
            {"launch, plain Release", {plainProgram}, {registry("plain-release"), noDevices}});
    }
    fs::create_directories(base + "/shell");
    for (auto& c : cases) RunOnce(c);  // warm caches and create the state
    for (auto& c : cases) c.wall.clear(), c.cpu.clear();
    // Each round runs the cases in a new order: a case that always ran after the
    // same one (a heavy launch, say) would carry that one's after-effects.
    std::vector<std::size_t> order(cases.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::mt19937 random(12345);
    for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t i : order) RunOnce(cases[i]);
    }
    for (int round = 0; round < 21; ++round) {
        for (auto& c : cases) c.rssKiB.push_back(PeakMemory(starter, c));
    }

    const double floorWall = Median(cases[0].wall);
    const double floorCpu = Median(cases[0].cpu);
    std::printf("%d interleaved rounds, medians; registry on %s\n\n", rounds, dir.c_str());
    std::printf("%-38s %10s %8s %10s %8s %10s\n", "case", "wall us", "x floor", "cpu us", "x floor",
                "peak KiB");
    for (auto& c : cases) {
        std::printf("%-38s %10.0f %8.2f %10.0f %8.2f %10.0f\n", c.name.c_str(), Median(c.wall),
                    Median(c.wall) / floorWall, Median(c.cpu), Median(c.cpu) / floorCpu,
                    Median(c.rssKiB));
    }
    std::printf("\nlaunch / naive shell toggle (wall): %.2f\n",
                Median(cases[1].wall) / Median(cases[3].wall));

    const long long floorInstructions = Instructions(cases[0]);
    const long long launchInstructions = Instructions(cases[1]);
    std::printf("instructions (callgrind): empty %lld, launch %lld, beyond the floor %lld\n",
                floorInstructions, launchInstructions, launchInstructions - floorInstructions);
    std::printf("peak memory beyond the floor: %.0f KiB (no driver)\n",
                Median(cases[1].rssKiB) - Median(cases[0].rssKiB));
    // Cases 4 to 7 are the hives, in the order of hiveSizes.
    // What each is to stay within, as times the floor (none for the smallest).
    const double targets[] = {0, 2, 10, 5};
    std::printf("\n%-38s %10s %12s %14s %10s %8s %18s\n", "hive", "file KiB", "us beyond",
                "us per MB", "x floor", "target", "memory / file size");
    for (std::size_t h = 0; h < hiveSizes.size(); ++h) {
        const Case& c = cases[4 + h];
        const double megabytes = static_cast<double>(hiveSizes[h].second) / (1 << 20);
        const double beyond = Median(c.wall) - floorWall;
        std::printf(
            "%-38s %10.0f %12.0f %14.0f %10.2f %8s %18.2f\n", c.name.c_str(),
            hiveSizes[h].second / 1024.0, beyond, beyond / megabytes, Median(c.wall) / floorWall,
            targets[h] > 0 ? ("<= " + std::to_string(static_cast<int>(targets[h]))).c_str() : "-",
            (Median(c.rssKiB) - Median(cases[0].rssKiB)) * 1024 /
                static_cast<double>(hiveSizes[h].second));
    }
    std::printf("(memory / file size: to stay within 2 for hives of a megabyte and more)\n");
    std::printf("\n");
    std::printf("stripped host program: %lld bytes\n", StrippedSize(program));
    for (const Case& c : cases) {
        if (c.name == "launch, plain Release") {
            std::printf("stripped plain Release program: %lld bytes; launch %.2f x floor\n",
                        StrippedSize(c.argv[0]), Median(c.wall) / floorWall);
        }
        if (c.name == "empty, g++ -O2 shared") {
            std::printf("launch / empty program as a user compiles it (wall): %.2f\n",
                        Median(cases[1].wall) / Median(c.wall));
        }
    }
    if (!exe.empty() && fs::exists(exe)) {
        std::printf("Windows program: %lld bytes\n", static_cast<long long>(fs::file_size(exe)));
    } else {
        std::printf("Windows program: not built\n");
    }

    kill(driverPid, SIGTERM);
    waitpid(driverPid, nullptr, 0);
    fs::remove_all(base);
    return 0;
}
