// The test build's crash points: LUMIVARDEN_CRASH_AT names the moment at which
// the process kills itself, as a power cut would stop it; LUMIVARDEN_FAIL_AT
// names the step that fails.
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "crash_point.h"

namespace lumivarden::host {

namespace {

bool Chosen(const char* variable, const char* name) {
    const char* chosen = std::getenv(variable);
    return chosen != nullptr && std::strcmp(chosen, name) == 0;
}

}  // namespace

void CrashPoint(const char* moment) {
    if (Chosen("LUMIVARDEN_CRASH_AT", moment)) raise(SIGKILL);
}

bool InjectedFailure(const char* step) {
    if (!Chosen("LUMIVARDEN_FAIL_AT", step)) return false;
    errno = EIO;
    return true;
}

}  // namespace lumivarden::host
