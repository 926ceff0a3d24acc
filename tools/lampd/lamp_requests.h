// What the stand-in driver makes of each request, apart from any socket.
#ifndef LUMIVARDEN_LAMPD_LAMP_REQUESTS_H
#define LUMIVARDEN_LAMPD_LAMP_REQUESTS_H

#include <cstdint>
#include <string>

#include "device_protocol.h"

namespace lumivarden::lampd {

constexpr std::uint32_t LampControlCode = 0x90002014;
constexpr std::uint32_t StatusOk = 0;
constexpr std::uint32_t StatusInvalidHandle = 6;
constexpr std::uint32_t StatusGenFailure = 31;  // the lamp could not be switched
constexpr std::uint32_t StatusSharingViolation = 32;
constexpr std::uint32_t StatusInvalidParameter = 87;

enum class Lamp { Unknown, On, Off };

struct ControlOutcome {
    std::uint32_t status = StatusInvalidParameter;
    Lamp lamp = Lamp::Unknown;  // the state requested, when the request is a valid one
};

// Only the lamp code with exactly four input bytes holding 1 or 2 is accepted.
ControlOutcome HandleControl(const device::Request& request);

// One line of the request log, without its line end.
std::string DescribeOpen(const device::Request& request, std::uint32_t status);
std::string DescribeControl(const device::Request& request, std::uint32_t status);

}  // namespace lumivarden::lampd

#endif
