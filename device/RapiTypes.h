#pragma once
// The Remote API as the system binds it at run time: the records it passes
// and one function type per entry point (C linkage, stdcall).
#include <windows.h>

struct RAPIINIT {
    DWORD cbSize;
    HANDLE heRapiInit;
    HRESULT hrRapiInit;
};

struct CE_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};

struct STORE_INFORMATION {
    DWORD dwStoreSize;
    DWORD dwFreeSize;
};

struct CEOSVERSIONINFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};

struct IRAPIStream; // stream mode is never used

#include "device/RapiEntryPoints.h"

// One function type per entry point: PFN_CeCreateFile and so on.
#define PELKO_RAPI_FUNCTION_TYPE(name, result, failure, bindOrder, use, parameters, arguments)     \
    using PFN_##name = result(WINAPI*) parameters;
PELKO_RAPI_ENTRY_POINTS(PELKO_RAPI_FUNCTION_TYPE)
#undef PELKO_RAPI_FUNCTION_TYPE

static_assert(sizeof(CE_FIND_DATA) == 560, "CE_FIND_DATA is 560 bytes");
