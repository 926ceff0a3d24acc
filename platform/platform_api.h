// The one header through which the system reaches its platform: the real
// Windows headers on Windows targets, our POSIX stand-in everywhere else.
#ifndef LUMIVARDEN_PLATFORM_API_H
#define LUMIVARDEN_PLATFORM_API_H

#if defined(_WIN32) || defined(_WIN32_WCE)
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#else
#include "posix/winapi.h"
#endif

#endif
