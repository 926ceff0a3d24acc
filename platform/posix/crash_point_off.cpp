#include "crash_point.h"

namespace lumivarden::host {

void CrashPoint(const char*) {}

bool InjectedFailure(const char*) {
    return false;
}

}  // namespace lumivarden::host
