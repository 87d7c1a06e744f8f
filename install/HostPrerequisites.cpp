#include "install/HostPrerequisites.h"

#include "framework/UniqueResource.h"

#include <windows.h>

namespace {
constexpr uint32_t MajorVersionWithoutActiveSync = 6;
constexpr wchar_t ActiveSyncKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAPPMGR.EXE";
} // namespace

bool QueryOsVersion(uint32_t* major, uint32_t* minor, uint32_t* platformId) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    static_assert(sizeof(OSVERSIONINFOW) == 276, "the basic version record");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(&info))
        return false;
#pragma GCC diagnostic pop
    if (major)
        *major = info.dwMajorVersion;
    if (minor)
        *minor = info.dwMinorVersion;
    if (platformId)
        *platformId = info.dwPlatformId;
    return true;
}

bool IsActiveSyncInstalled() {
    UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, ActiveSyncKey, 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
}

bool HostCanReachDevice() {
    uint32_t major = 0, minor = 0, platformId = 0;
    if (QueryOsVersion(&major, &minor, &platformId) && major >= MajorVersionWithoutActiveSync)
        return true;
    return IsActiveSyncInstalled();
}
