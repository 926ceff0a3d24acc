// Launches side by side with other programs writing to the same hive.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "hive_file.h"
#include "hive_text.h"
#include "seed_hive.h"
#include "test_support.h"
#include "winapi.h"

namespace {

using lumivarden::host::Bytes;
using testing_support::TempDir;

constexpr int Launchers = 3;
constexpr int LaunchesEach = 40;
constexpr int Writers = 3;
constexpr int WritesEach = 60;

std::u16string WriterKey(int writer) {
    return u"Software\\Writer" + std::u16string(1, u'0' + writer);
}
std::u16string SlotName(int slot) {
    return u"slot" + std::u16string(1, u'0' + slot);
}

// What a writer leaves behind: a set of slot i in round r holds r; every third
// round deletes the slot instead.
std::optional<Bytes> FinalSlot(int slot) {
    std::optional<Bytes> last;
    for (int round = 0; round < WritesEach; ++round) {
        if (round % 5 != slot) continue;
        if (round % 3 == 2) {
            last.reset();
        } else {
            last = Bytes{static_cast<std::uint8_t>(round), 0, 0, 0};
        }
    }
    return last;
}

// Keys and values in name order: writers re-add values in an order of their own.
lumivarden::host::Hive Canonical(lumivarden::host::Hive hive) {
    auto byName = [](const auto& a, const auto& b) { return a.name < b.name; };
    for (auto& key : hive.keys) std::sort(key.values.begin(), key.values.end(), byName);
    std::sort(hive.keys.begin(), hive.keys.end(),
              [](const auto& a, const auto& b) { return a.path < b.path; });
    return hive;
}

// A child process: sets and deletes its own values through the host layer.
int RunWriter(int writer) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, WriterKey(writer).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return 10;
    }
    for (int round = 0; round < WritesEach; ++round) {
        const std::u16string name = SlotName(round % 5);
        LONG status;
        if (round % 3 == 2) {
            status = RegDeleteValueW(key, name.c_str());
            if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
        } else {
            const Bytes data{static_cast<std::uint8_t>(round), 0, 0, 0};
            status = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, data.data(), 4);
        }
        if (status != ERROR_SUCCESS) return 11;
    }
    RegCloseKey(key);
    return 0;
}

// A child process: launches the tool one after the other, each within a bound.
int RunLauncher(const std::string& folder) {
    for (int i = 0; i < LaunchesEach; ++i) {
        const auto launch = testing_support::RunToEnd({LUMIVARDEN_PROGRAM}, {}, folder);
        if (launch.exitStatus != 0) return 20;  // -1 there means it hung or crashed
    }
    return 0;
}

TEST(ParallelLaunches, LoseNothingAndNeverShowAHalfWrittenHive) {
    TempDir temp;
    const std::string registry = temp / "registry";
    testing_support::ScopedEnv registryEnv("LUMIVARDEN_REGISTRY_DIR", registry);
    testing_support::ScopedEnv deviceEnv("LUMIVARDEN_DEVICE_DIR", temp / "devices");
    std::filesystem::create_directories(registry);
    const auto seeded = testing_support::SeedHive(20, 6, 7);
    const std::string hivePath = registry + "/HKEY_CURRENT_USER.reg";
    testing_support::WriteFile(hivePath, lumivarden::host::WriteHive(seeded));

    std::vector<pid_t> children;
    for (int i = 0; i < Launchers + Writers; ++i) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) _exit(i < Launchers ? RunLauncher(temp.path()) : RunWriter(i - Launchers));
        children.push_back(pid);
    }

    std::atomic<bool> done{false};
    std::atomic<long> looks{0};
    std::atomic<long> unparsable{0};
    std::thread reader([&] {
        while (!done) {
            if (!testing_support::ReadHiveFile(hivePath)) ++unparsable;
            ++looks;
        }
    });
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }
    done = true;
    reader.join();

    EXPECT_GT(looks.load(), 0);
    EXPECT_EQ(unparsable.load(), 0) << "of " << looks.load() << " looks";
    const auto hive = testing_support::ReadHiveFile(hivePath);
    ASSERT_TRUE(hive.has_value());

    // Other programs' values untouched, and each writer's last word kept.
    auto expected = testing_support::WithoutEnabled(seeded);
    for (int writer = 0; writer < Writers; ++writer) {
        bool created = false;
        auto& key = lumivarden::host::CreateKey(expected, WriterKey(writer), &created);
        for (int slot = 0; slot < 5; ++slot) {
            if (auto data = FinalSlot(slot)) {
                lumivarden::host::SetValue(key, SlotName(slot), REG_DWORD, *data);
            }
        }
    }
    EXPECT_EQ(Canonical(testing_support::WithoutEnabled(*hive)), Canonical(expected));

    const auto* own = lumivarden::host::FindKey(*hive, u"Software\\Lumivarden");
    const auto* enabled = lumivarden::host::FindValue(*own, u"Enabled");
    ASSERT_NE(enabled, nullptr);
    EXPECT_TRUE(enabled->data == (Bytes{'1', 0, 0, 0}) || enabled->data == (Bytes{'2', 0, 0, 0}));
}

}  // namespace
