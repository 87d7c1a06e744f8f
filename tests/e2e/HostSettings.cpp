#include "tests/e2e/HostSettings.h"

namespace {
constexpr wchar_t PelkoWineSettings[] = L"Software\\Wine\\AppDefaults\\pelko.exe";
constexpr wchar_t ActiveSyncKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAPPMGR.EXE";

bool ActiveSyncKeyPresent() {
    UniqueRegKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, ActiveSyncKey, 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
}

void SetActiveSyncKey(bool present) {
    if (present) {
        UniqueRegKey key;
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, ActiveSyncKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                          key.put(), nullptr);
    } else {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, ActiveSyncKey);
    }
}
} // namespace

ScopedPelkoWindowsVersion::ScopedPelkoWindowsVersion(const wchar_t* version) {
    UniqueRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, PelkoWineSettings, 0, nullptr, 0, KEY_WRITE, nullptr,
                          key.put(), nullptr) == ERROR_SUCCESS)
        ::RegSetValueExW(key.get(), L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                         static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
}

ScopedPelkoWindowsVersion::~ScopedPelkoWindowsVersion() {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, PelkoWineSettings);
}

ScopedActiveSyncKey::ScopedActiveSyncKey(bool present) : wasPresent_(ActiveSyncKeyPresent()) {
    SetActiveSyncKey(present);
}

ScopedActiveSyncKey::~ScopedActiveSyncKey() {
    SetActiveSyncKey(wasPresent_);
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const wchar_t* variable, const wchar_t* value)
    : name(variable) {
    const DWORD length = ::GetEnvironmentVariableW(variable, nullptr, 0);
    if (length != 0) {
        std::wstring old(length, L'\0');
        old.resize(::GetEnvironmentVariableW(variable, &old[0], length));
        oldValue = old;
        wasSet = true;
    }
    ::SetEnvironmentVariableW(variable, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    ::SetEnvironmentVariableW(name.c_str(), wasSet ? oldValue.c_str() : nullptr);
}
