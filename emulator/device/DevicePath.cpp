#include "emulator/device/DevicePath.h"

#include <algorithm>
#include <cwctype>
#include <vector>

namespace {

constexpr size_t MaxDevicePathUnits = MAX_PATH - 1;

bool IsReservedDeviceName(const std::wstring& component) {
    // The name before the first dot counts ("CON.txt" is still CON).
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (auto& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    static const wchar_t* const names[] = {L"CON",    L"PRN",     L"AUX",   L"NUL",
                                           L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* n : names)
        if (base == n)
            return true;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
        base[3] >= L'0' && base[3] <= L'9')
        return true;
    return false;
}

bool IsForbiddenUnit(wchar_t c) {
    return c < 0x20 || c == L'/' || c == L':' || c == L'<' || c == L'>' || c == L'"' || c == L'|';
}

} // namespace

DWORD MapDevicePath(const std::wstring& storageRoot, const std::wstring& devicePath, bool pattern,
                    MappedPath& out) {
    if (devicePath.empty() || devicePath[0] != L'\\')
        return ERROR_INVALID_NAME; // relative, drive letter or empty
    if (devicePath.size() > MaxDevicePathUnits)
        return ERROR_FILENAME_EXCED_RANGE;
    for (wchar_t c : devicePath)
        if (IsForbiddenUnit(c))
            return c == L':' ? ERROR_ACCESS_DENIED : ERROR_INVALID_NAME;

    // One trailing backslash is accepted ("\Mounted Volume\"); "\\x" and
    // "a\\b" are not.
    std::wstring rest = devicePath.substr(1);
    if (!rest.empty() && rest.back() == L'\\')
        rest.pop_back();
    std::vector<std::wstring> components;
    if (!rest.empty()) {
        size_t start = 0;
        for (;;) {
            size_t end = rest.find(L'\\', start);
            bool last = end == std::wstring::npos;
            std::wstring component = rest.substr(start, last ? std::wstring::npos : end - start);
            if (component.empty())
                return ERROR_INVALID_NAME;
            if (component == L"." || component == L"..")
                return ERROR_ACCESS_DENIED;
            if (component.back() == L'.' || component.back() == L' ')
                return ERROR_INVALID_NAME; // Windows would drop them and alias another name
            if (IsReservedDeviceName(component))
                return ERROR_INVALID_NAME;
            bool wild = component.find_first_of(L"*?") != std::wstring::npos;
            if (wild && (!pattern || !last))
                return ERROR_INVALID_NAME;
            components.push_back(component);
            if (last)
                break;
            start = end + 1;
        }
    }

    std::wstring pc = storageRoot;
    for (const auto& c : components)
        pc += L'\\' + c;

    // The checks above already keep the path inside; the full-path test guards
    // against anything they missed.
    if (components.empty() ||
        std::find_if(components.back().begin(), components.back().end(),
                     [](wchar_t c) { return c == L'*' || c == L'?'; }) == components.back().end()) {
        wchar_t full[4 * MAX_PATH];
        DWORD n = GetFullPathNameW(pc.c_str(), ARRAYSIZE(full), full, nullptr);
        if (n == 0 || n >= ARRAYSIZE(full))
            return ERROR_FILENAME_EXCED_RANGE;
        std::wstring f(full, n);
        if (_wcsicmp(f.c_str(), storageRoot.c_str()) != 0 &&
            (f.size() <= storageRoot.size() ||
             _wcsnicmp(f.c_str(), storageRoot.c_str(), storageRoot.size()) != 0 ||
             f[storageRoot.size()] != L'\\'))
            return ERROR_ACCESS_DENIED;
    }
    out.pcPath = pc;
    out.isRoot = components.empty();
    return 0;
}
