// The lamp as tests reach it: through the host layer's device functions, as
// the tool does, and as raw protocol frames for what those never send.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "winapi.h"

namespace testing_support {

using FrameBytes = std::vector<std::uint8_t>;

constexpr DWORD LampCode = 0x90002014;

// Opens "CIF1:" as the tool does.
HANDLE OpenLamp();

// One control request with no output; the call's result.
BOOL SendControl(HANDLE device, DWORD code, const FrameBytes& input);

// Opens the lamp, asks for the mode and closes it again; the request's result,
// with its error as the last error.
BOOL SwitchLamp(std::uint8_t mode);

// The words as little-endian bytes, then the tail.
FrameBytes Frame(std::initializer_list<std::uint32_t> words, const FrameBytes& tail = {});

// A raw connection to a driver's socket.
class RawClient {
  public:
    explicit RawClient(const std::string& socketPath);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void SendWords(std::initializer_list<std::uint32_t> words, const FrameBytes& tail = {});
    // Whether the driver closes the connection within the time, reading what it answers.
    bool ClosedWithin(int milliseconds);

  private:
    int fd_;
};

}  // namespace testing_support
