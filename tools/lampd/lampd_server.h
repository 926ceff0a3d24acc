// The stand-in driver's socket side: one listening socket, a few connections,
// one of which at a time may hold the device open.
#ifndef LUMIVARDEN_LAMPD_SERVER_H
#define LUMIVARDEN_LAMPD_SERVER_H

#include <cstdio>
#include <string>

#include "led.h"

namespace lumivarden::lampd {

struct ServerSetup {
    std::string socketPath;
    std::FILE* lampOut = nullptr;  // "lamp on" / "lamp off" lines
    std::FILE* log = nullptr;      // request log, may be null
    int stopFd = -1;               // readable when the driver is to stop
    const Led* led = nullptr;      // a real LED to switch, if any
};

// Binds the socket (refusing when another driver serves it), serves until
// stopFd becomes readable, then removes the socket. Returns false, with a
// reason, when it cannot start.
bool Serve(const ServerSetup& setup, std::string* error);

}  // namespace lumivarden::lampd

#endif
