// Small helpers shared by the host, driver and end-to-end tests.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder, removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Sets (or, with nullopt, unsets) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> saved_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// The hive file bytes for text given in UTF-8: BOM, UTF-16LE, every "\n" as
// CRLF unless asked to keep the text's line breaks as they are.
std::string HiveFileBytes(const std::string& utf8Text, bool crlf = true);
// The readable text of a hive file: UTF-16LE to UTF-8, CRLF to "\n", BOM dropped.
std::string HiveFileText(const std::string& bytes);

// Polls until the predicate holds or the time is up; returns whether it held.
template <typename Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        struct timespec pause = {0, 5000000};
        nanosleep(&pause, nullptr);
    }
    return true;
}

// A child process with its output sent to files.
struct Finished {
    int exitStatus = -1;  // -1 when killed by a signal or timed out
    std::string out;
    std::string err;
};

class Child {
  public:
    // Runs the program with the arguments and the current environment changed by the
    // "NAME=value" entries ("NAME" alone removes it); standard output and error go to
    // files in the folder.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
          const std::string& outputFolder);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    int pid() const { return pid_; }
    std::string Out() const { return ReadFile(outPath_); }
    std::string Err() const { return ReadFile(errPath_); }
    // How the child ended, if it ends within the limit; it is left running otherwise.
    std::optional<Finished> EndsWithin(std::chrono::milliseconds limit);
    // Waits at most the limit, killing the child past it.
    Finished Wait(std::chrono::milliseconds limit = std::chrono::seconds(20));
    void Signal(int signal) const;

  private:
    int pid_ = -1;
    std::string outPath_;
    std::string errPath_;
};

// The command line that runs the program after the shell commands in setup,
// such as "ulimit -f 20" or "exec <&-": limits and descriptors set as a user's
// shell would set them.
std::vector<std::string> UnderShell(const std::string& setup, std::vector<std::string> argv);

// Runs a program to its end.
Finished RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                  const std::string& outputFolder);

}  // namespace testing_support
