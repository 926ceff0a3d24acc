// Named moments in a hive write where a test build can make the process die,
// to show that a crash there loses nothing. Release builds compile them away.
#ifndef LUMIVARDEN_POSIX_CRASH_POINT_H
#define LUMIVARDEN_POSIX_CRASH_POINT_H

namespace lumivarden::host {

// "temp-partial", "temp-written", "before-rename", "before-folder-flush".
void CrashPoint(const char* moment);

}  // namespace lumivarden::host

#endif
