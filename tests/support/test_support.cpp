#include "test_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    std::string pattern =
        std::filesystem::temp_directory_path().string() + "/lumivarden-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) saved_ = old;
    if (value) {
        setenv(name_.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (saved_) {
        setenv(name_.c_str(), saved_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::symlink_status(path, ignored).type() !=
           std::filesystem::file_type::not_found;
}

namespace {

void PutUnit(std::string& out, char32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

}  // namespace

std::string HiveFileBytes(const std::string& utf8Text, bool crlf) {
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8Text.size();) {
        const unsigned char lead = static_cast<unsigned char>(utf8Text[i]);
        char32_t code = lead;
        int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (extra > 0) code &= 0x3Fu >> extra;
        for (int k = 1; k <= extra; ++k) code = (code << 6) | (utf8Text[i + k] & 0x3F);
        i += 1 + extra;
        if (crlf && code == U'\n') PutUnit(out, U'\r');
        if (code >= 0x10000) {
            PutUnit(out, 0xD800 + ((code - 0x10000) >> 10));
            PutUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            PutUnit(out, code);
        }
    }
    return out;
}

std::string HiveFileText(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t code =
            static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            const char32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                                 (static_cast<unsigned char>(bytes[i + 3]) << 8);
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        if (code == U'\r') continue;
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
             const std::string& outputFolder) {
    static std::atomic<int> counter{0};
    const std::string tag = std::to_string(getpid()) + "-" + std::to_string(counter++);
    outPath_ = outputFolder + "/child-" + tag + ".out";
    errPath_ = outputFolder + "/child-" + tag + ".err";

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    for (const std::string& extra : extraEnv) {
        const std::size_t equals = extra.find('=');
        const std::string prefix = extra.substr(0, equals) + "=";
        std::erase_if(environment, [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        if (equals != std::string::npos) environment.push_back(extra);  // "NAME" alone unsets it
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    env.reserve(environment.size() + 1);
    for (const std::string& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int failed = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) throw std::runtime_error("cannot start " + argv[0]);
}

Child::~Child() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void Child::Signal(int signal) const {
    kill(pid_, signal);
}

std::optional<Finished> Child::EndsWithin(std::chrono::milliseconds limit) {
    int status = 0;
    if (pid_ <= 0 || !WaitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit)) {
        return std::nullopt;
    }
    pid_ = -1;
    Finished finished;
    if (WIFEXITED(status)) finished.exitStatus = WEXITSTATUS(status);
    finished.out = Out();
    finished.err = Err();
    return finished;
}

Finished Child::Wait(std::chrono::milliseconds limit) {
    if (std::optional<Finished> finished = EndsWithin(limit)) return *finished;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return Finished{-1, Out(), Err()};
}

std::vector<std::string> UnderShell(const std::string& setup, std::vector<std::string> argv) {
    argv.insert(argv.begin(), {"/bin/sh", "-c", setup + "\nexec \"$@\"", "sh"});
    return argv;
}

Finished RunToEnd(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                  const std::string& outputFolder) {
    return Child(argv, extraEnv, outputFolder).Wait();
}

}  // namespace testing_support
