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

// clang-format off
using PFN_CeRapiUninit        = HRESULT(WINAPI*)();
using PFN_CeCloseHandle       = BOOL(WINAPI*)(HANDLE);
using PFN_CeGetLastError      = DWORD(WINAPI*)();
using PFN_CeWriteFile         = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
using PFN_CeCreateFile        = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using PFN_CeSetFileAttributes = BOOL(WINAPI*)(LPCWSTR, DWORD);
using PFN_CeGetFileAttributes = DWORD(WINAPI*)(LPCWSTR);
using PFN_CeGetStoreInformation = BOOL(WINAPI*)(STORE_INFORMATION*);
using PFN_CeRapiInitEx        = HRESULT(WINAPI*)(RAPIINIT*);
using PFN_CeMoveFile          = BOOL(WINAPI*)(LPCWSTR, LPCWSTR);
using PFN_CeDeleteFile        = BOOL(WINAPI*)(LPCWSTR);
using PFN_CeFindFirstFile     = HANDLE(WINAPI*)(LPCWSTR, CE_FIND_DATA*);
using PFN_CeFindNextFile      = BOOL(WINAPI*)(HANDLE, CE_FIND_DATA*);
using PFN_CeReadFile          = BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
using PFN_CeGetFileSize       = DWORD(WINAPI*)(HANDLE, LPDWORD);
using PFN_CeCreateDirectory   = BOOL(WINAPI*)(LPCWSTR, LPSECURITY_ATTRIBUTES);
using PFN_CeRemoveDirectory   = BOOL(WINAPI*)(LPCWSTR);
using PFN_CeFindClose         = BOOL(WINAPI*)(HANDLE);
using PFN_CeRapiInvoke        = HRESULT(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, BYTE*, DWORD*, BYTE**, IRAPIStream**, DWORD);
using PFN_CeFindAllFiles      = BOOL(WINAPI*)(LPCWSTR, DWORD, LPDWORD, CE_FIND_DATA**);
using PFN_CeRapiFreeBuffer    = HRESULT(WINAPI*)(LPVOID);
using PFN_CeGetVersionEx      = BOOL(WINAPI*)(CEOSVERSIONINFO*);
using PFN_CeCreateProcess     = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
// clang-format on

static_assert(sizeof(CE_FIND_DATA) == 560, "CE_FIND_DATA is 560 bytes");
