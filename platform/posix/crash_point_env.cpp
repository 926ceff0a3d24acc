// The test build's crash points: LUMIVARDEN_CRASH_AT names the moment at which
// the process kills itself, as a power cut would stop it.
#include <signal.h>

#include <cstdlib>
#include <cstring>

#include "crash_point.h"

namespace lumivarden::host {

void CrashPoint(const char* moment) {
    const char* chosen = std::getenv("LUMIVARDEN_CRASH_AT");
    if (chosen != nullptr && std::strcmp(chosen, moment) == 0) raise(SIGKILL);
}

}  // namespace lumivarden::host
