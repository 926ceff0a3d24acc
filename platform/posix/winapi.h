// The subset of the Windows CE API that the system uses, declared for POSIX
// hosts from the API's documented behaviour. Implemented in this folder.
#ifndef LUMIVARDEN_POSIX_WINAPI_H
#define LUMIVARDEN_POSIX_WINAPI_H

#include <cstdint>

#define WINAPI

typedef char16_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef std::uint8_t BYTE;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef std::uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef std::int32_t LONG;
typedef int BOOL;
typedef void* LPVOID;
typedef void* HANDLE;
typedef DWORD REGSAM;
typedef std::uintptr_t ULONG_PTR;
typedef std::intptr_t LONG_PTR;

typedef struct HostKey* HKEY;
typedef HKEY* PHKEY;
typedef struct HostSecurityAttributes* LPSECURITY_ATTRIBUTES;
typedef struct HostOverlapped* LPOVERLAPPED;

#define TEXT(quote) u##quote

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BROKEN_PIPE 109L
#define ERROR_SEM_TIMEOUT 121L
#define ERROR_INVALID_NAME 123L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_MORE_DATA 234L
#define ERROR_REGISTRY_CORRUPT 1015L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_KEY_DELETED 1018L

#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001u)

#define KEY_ALL_ACCESS 0xF003Fu
#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define OPEN_EXISTING 3u
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD error);

LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass,
                            DWORD options, REGSAM desired, LPSECURITY_ATTRIBUTES security,
                            PHKEY result, LPDWORD disposition);
LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize);
LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                           const BYTE* data, DWORD dataSize);
LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName);
LONG WINAPI RegCloseKey(HKEY key);

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
BOOL WINAPI DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                            LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                            LPOVERLAPPED overlapped);
BOOL WINAPI CloseHandle(HANDLE object);

#endif
