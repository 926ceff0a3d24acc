// What the stand-in driver makes of each request, apart from any socket.
#ifndef LUMIVARDEN_LAMPD_LAMP_REQUESTS_H
#define LUMIVARDEN_LAMPD_LAMP_REQUESTS_H

#include <cstdint>
#include <string>

#include "device_protocol.h"
#include "lamp_mode.h"

namespace lumivarden::lampd {

enum class Lamp { Unknown, On, Off };

// A status is a platform error code: ERROR_SUCCESS, ERROR_INVALID_PARAMETER...
struct ControlOutcome {
    std::uint32_t status = ERROR_INVALID_PARAMETER;
    Lamp lamp = Lamp::Unknown;  // the state requested, when the request is a valid one
};

// Only LampControlCode with exactly four input bytes holding a LampMode is accepted.
ControlOutcome HandleControl(const device::Request& request);

// One line of the request log, without its line end. At most LoggedInputBytes
// of a request's input are shown, then its length.
constexpr std::uint32_t LoggedInputBytes = 16;
std::string DescribeOpen(const device::Request& request, std::uint32_t status);
std::string DescribeControl(const device::Request& request, std::uint32_t status);

}  // namespace lumivarden::lampd

#endif
