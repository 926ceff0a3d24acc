// The device's name in the device folder, held by one driver at a time: a
// lock beside the socket is taken for the driver's life, so that the check for
// another driver and the socket's move into place cannot be split by a rival.
#ifndef LUMIVARDEN_LAMPD_DEVICE_SOCKET_H
#define LUMIVARDEN_LAMPD_DEVICE_SOCKET_H

#include <sys/types.h>

#include <string>

#include "file_descriptor.h"

namespace lumivarden::lampd {

// The longest socket path a driver can serve: the path of its socket while it
// starts is a few bytes longer, and both must fit a Unix socket address.
std::size_t MaxSocketPathLength();

struct DeviceSocket {
    std::string path;
    host::FileDescriptor lock;      // "<socket> lock", held while serving
    host::FileDescriptor listener;  // accepting connections, non-blocking
    dev_t device = 0;               // the socket file we put in place
    ino_t inode = 0;
};

// Claims the name and listens on it; a stale socket left by a driver that
// died is replaced. False, with a reason, when another driver holds the name
// or the socket cannot be made.
bool OpenDeviceSocket(const std::string& path, DeviceSocket* served, std::string* error);

// Removes the socket if it is still the one we put in place, then lets the
// name go.
void CloseDeviceSocket(DeviceSocket& served);

}  // namespace lumivarden::lampd

#endif
