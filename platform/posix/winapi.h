// Kernel, registry, text and memory services of the Windows platform, for the
// POSIX stand-in: the subset that the system calls, with Windows names,
// signatures, result codes and semantics. Implemented by the platform runtime
// library, which the module and the hosts share.
#pragma once

#include <pthread.h>

#include "wintypes.h"

#define OCULO_PLATFORM_API __attribute__((visibility("default")))
#define WINBASEAPI extern "C" OCULO_PLATFORM_API

// --- Errors ---
WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD error);

// --- Handles, threads, waits ---
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);

WINBASEAPI HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                                      LPTHREAD_START_ROUTINE start, LPVOID parameter,
                                      DWORD creationFlags, LPDWORD threadId);
WINBASEAPI BOOL WINAPI GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
WINBASEAPI HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset,
                                      BOOL initialState, LPCWSTR name);
WINBASEAPI BOOL WINAPI SetEvent(HANDLE event);
WINBASEAPI BOOL WINAPI ResetEvent(HANDLE event);
WINBASEAPI HANDLE WINAPI CreateSemaphoreW(LPSECURITY_ATTRIBUTES attributes, LONG initialCount,
                                          LONG maximumCount, LPCWSTR name);
WINBASEAPI BOOL WINAPI ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LPLONG previousCount);
WINBASEAPI DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
WINBASEAPI BOOL WINAPI CloseHandle(HANDLE handle);
WINBASEAPI void WINAPI Sleep(DWORD milliseconds);
WINBASEAPI DWORD WINAPI GetTickCount(void);

// --- Wall-clock time ---
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1 to 12
    WORD wDayOfWeek;  // 0 (Sunday) to 6
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
typedef SYSTEMTIME* LPSYSTEMTIME;
// The local time, as the system's time zone has it.
WINBASEAPI void WINAPI GetLocalTime(LPSYSTEMTIME time);

// --- Critical sections (recursive, as on Windows) ---
struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;
WINBASEAPI void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION section);
WINBASEAPI void WINAPI EnterCriticalSection(LPCRITICAL_SECTION section);
WINBASEAPI void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION section);
WINBASEAPI void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION section);

// --- Interlocked operations (full barriers, as on Windows) ---
inline LONG InterlockedIncrement(LONG volatile* target) { return __atomic_add_fetch(target, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* target) { return __atomic_sub_fetch(target, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* target, LONG value) { return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) { return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST); }

// --- Modules ---
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define MAX_PATH 260
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
WINBASEAPI HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName);
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
WINBASEAPI BOOL WINAPI DisableThreadLibraryCalls(HMODULE module);
// Module references, as on Windows: a module stays loaded (its DllMain sees no
// detach) until every reference is given back. Of the flags, FROM_ADDRESS and
// UNCHANGED_REFCOUNT are supported; PIN is refused.
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u
WINBASEAPI BOOL WINAPI GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);
// Loads a module by path (made absolute, so its GetModuleFileNameA is a full
// path as on Windows) and runs its DllMain attach on the first load; counted
// with FreeLibrary. Failure: null and ERROR_MOD_NOT_FOUND. A module's own
// libraries are found through its run path, so the flags change nothing.
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u
WINBASEAPI HMODULE WINAPI LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags);
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE module);
// Ends the calling thread with `exitCode` and gives back one reference on
// `module`, which may hold the caller's code: the reference goes only after
// the thread's frames have been left. For threads made by CreateThread, the
// thread counts as ended after the module was given back, as on Windows.
WINBASEAPI __attribute__((noreturn)) void WINAPI FreeLibraryAndExitThread(HMODULE module, DWORD exitCode);

// --- Name lookup: the system's resolver, with the same names as Winsock's ---
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

// --- Memory ---
#define MEM_COMMIT 0x00001000u
#define MEM_RESERVE 0x00002000u
#define MEM_DECOMMIT 0x00004000u
#define MEM_RELEASE 0x00008000u
#define PAGE_NOACCESS 0x01u
#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
WINBASEAPI LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect);
WINBASEAPI BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD freeType);
struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
typedef SYSTEM_INFO* LPSYSTEM_INFO;
WINBASEAPI void WINAPI GetSystemInfo(LPSYSTEM_INFO info);
extern "C" OCULO_PLATFORM_API void* _aligned_malloc(size_t size, size_t alignment);
extern "C" OCULO_PLATFORM_API void _aligned_free(void* block);

// --- Text ---
#define CP_ACP 0u
#define CP_UTF8 65001u
WINBASEAPI int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte,
                                          LPWSTR wideChar, int cchWideChar);
WINBASEAPI int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideChar, int cchWideChar,
                                          LPSTR multiByte, int cbMultiByte, LPCSTR defaultChar,
                                          LPBOOL usedDefaultChar);
// Windows' wsprintfW: %s is a wide string, %hs a narrow one; no floating point;
// at most 1024 characters written.
extern "C" OCULO_PLATFORM_API int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);
WINBASEAPI LPWSTR WINAPI lstrcpynW(LPWSTR destination, LPCWSTR source, int maxLength);
WINBASEAPI int WINAPI lstrlenW(LPCWSTR text);
extern "C" OCULO_PLATFORM_API int _wtoi(const wchar_t* text);
extern "C" OCULO_PLATFORM_API double _wtof(const wchar_t* text);

// --- Registry ---
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu
#define MAXIMUM_ALLOWED 0x02000000u
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u
WINBASEAPI LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
WINBASEAPI LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                        LPBYTE data, LPDWORD cbData);
WINBASEAPI LONG WINAPI RegCloseKey(HKEY key);
WINBASEAPI LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                       REGSAM desired, const SECURITY_ATTRIBUTES* attributes, PHKEY result,
                                       LPDWORD disposition);
WINBASEAPI LONG WINAPI RegCreateKeyW(HKEY key, LPCWSTR subKey, PHKEY result);
WINBASEAPI LONG WINAPI RegSetValueW(HKEY key, LPCWSTR subKey, DWORD type, LPCWSTR data, DWORD cbData);
WINBASEAPI LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                      DWORD cbData);
WINBASEAPI LONG WINAPI RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD cchName, LPDWORD reserved,
                                     LPWSTR keyClass, LPDWORD cchClass, PFILETIME lastWriteTime);
WINBASEAPI LONG WINAPI RegDeleteKeyW(HKEY key, LPCWSTR subKey);
WINBASEAPI LONG WINAPI RegDeleteValueW(HKEY key, LPCWSTR valueName);
