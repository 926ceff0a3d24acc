// Named moments in a hive write where a test build can make the process die,
// and named steps it can make fail, to show that a crash or an I/O error there
// loses nothing. Release builds compile them away.
#ifndef LUMIVARDEN_POSIX_CRASH_POINT_H
#define LUMIVARDEN_POSIX_CRASH_POINT_H

namespace lumivarden::host {

// "temp-partial", "temp-written", "before-rename", "before-folder-flush".
void CrashPoint(const char* moment);

// "temp-open", "temp-write", "temp-sync", "temp-close", "rename", "folder-sync":
// whether the step is to fail as a full disk or a failing device would make it.
bool InjectedFailure(const char* step);

}  // namespace lumivarden::host

#endif
