// Small helpers the host layer shares for finding and making its folders.
#ifndef LUMIVARDEN_POSIX_FOLDERS_H
#define LUMIVARDEN_POSIX_FOLDERS_H

#include <sys/stat.h>

#include <string>

namespace lumivarden::host {

// The variable's value; empty when it is unset.
std::string EnvironmentValue(const char* name);

// Creates the folder and its missing parents, those it creates private to the
// user (0700). On failure, says why when asked.
bool MakeFolders(const std::string& path, std::string* error = nullptr);

// Whether the folder belongs to the user and neither group nor others may
// write to it: a place whose files no one else can swap.
bool IsOwnClosedFolder(const struct stat& info);

}  // namespace lumivarden::host

#endif
