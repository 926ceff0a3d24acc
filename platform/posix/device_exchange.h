// One frame exchange with a driver over a connected, non-blocking socket. Every
// exchange has a deadline, so a driver that hangs or misbehaves costs a failed
// call, never a hung program.
#ifndef LUMIVARDEN_POSIX_DEVICE_EXCHANGE_H
#define LUMIVARDEN_POSIX_DEVICE_EXCHANGE_H

#include "device_protocol.h"
#include "winapi.h"

namespace lumivarden::device {

// How long one exchange may take, from the first byte sent to the last received.
constexpr int ExchangeTimeoutMilliseconds = 3000;

// The driver's status for the open, or the platform error that ended the exchange.
DWORD ExchangeOpen(int fd, DWORD access, DWORD shareMode);

// Sends a control request and takes its answer: the driver's status, or the platform
// error that ended the exchange. The output never exceeds outputSize; *broken is
// set when the stream can no longer be trusted.
DWORD ExchangeControl(int fd, DWORD code, const void* input, DWORD inputSize, void* output,
                      DWORD outputSize, DWORD* returned, bool* broken);

}  // namespace lumivarden::device

#endif
