// The stand-in driver's serving loop: one listening socket, a few connections,
// one of which at a time may hold the device open.
#ifndef LUMIVARDEN_LAMPD_SERVER_H
#define LUMIVARDEN_LAMPD_SERVER_H

#include <cstdio>

#include "led.h"

namespace lumivarden::lampd {

struct ServerSetup {
    int listener = -1;             // listening, non-blocking
    std::FILE* lampOut = nullptr;  // "lamp on" / "lamp off" lines
    std::FILE* log = nullptr;      // request log, may be null
    int stopFd = -1;               // readable when the driver is to stop
    const Led* led = nullptr;      // a real LED to switch, if any
};

// Serves until stopFd becomes readable.
void Serve(const ServerSetup& setup);

}  // namespace lumivarden::lampd

#endif
