#pragma once
// Host settings that the prerequisite test reads, changed for one test and
// restored afterwards, even when the test fails.
#include "framework/UniqueResource.h"

#include <windows.h>

#include <string>

// The Windows version that Wine reports to pelko.exe alone (e.g. L"winxp"
// for 5.1), through Wine's per-program settings.
class ScopedPelkoWindowsVersion {
public:
    explicit ScopedPelkoWindowsVersion(const wchar_t* version);
    ~ScopedPelkoWindowsVersion();
    ScopedPelkoWindowsVersion(const ScopedPelkoWindowsVersion&) = delete;
    ScopedPelkoWindowsVersion& operator=(const ScopedPelkoWindowsVersion&) = delete;
};

// ActiveSync's App Paths key made present or absent.
class ScopedActiveSyncKey {
public:
    explicit ScopedActiveSyncKey(bool present);
    ~ScopedActiveSyncKey();
    ScopedActiveSyncKey(const ScopedActiveSyncKey&) = delete;
    ScopedActiveSyncKey& operator=(const ScopedActiveSyncKey&) = delete;

private:
    bool wasPresent_;
};

// An environment variable of this process (and so of the programs it starts)
// set for one test; its earlier value, or its absence, comes back afterwards.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const wchar_t* variable, const wchar_t* value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    std::wstring name;
    bool wasSet = false;
    std::wstring oldValue;
};
