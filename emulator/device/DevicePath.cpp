#include "emulator/device/DevicePath.h"

#include <vector>

namespace {

// Windows compares device names without regard to the case of ASCII letters.
wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool IsReservedDeviceName(const std::wstring& component) {
    // The name before the first dot counts ("CON.txt" is still CON).
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (auto& c : base)
        c = AsciiUpper(c);
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

PathVerdict MapDevicePath(const std::wstring& storageRoot, const std::wstring& devicePath,
                          bool pattern, MappedPath& out) {
    if (devicePath.empty() || devicePath[0] != L'\\')
        return PathVerdict::InvalidName; // relative, drive letter or empty
    if (devicePath.size() > MaxDevicePathUnits)
        return PathVerdict::TooLong;
    for (wchar_t c : devicePath)
        if (IsForbiddenUnit(c))
            return c == L':' ? PathVerdict::AccessDenied : PathVerdict::InvalidName;

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
                return PathVerdict::InvalidName;
            if (component == L"." || component == L"..")
                return PathVerdict::AccessDenied;
            if (component.back() == L'.' || component.back() == L' ')
                return PathVerdict::InvalidName; // Windows would drop them and alias another name
            if (IsReservedDeviceName(component))
                return PathVerdict::InvalidName;
            bool wild = component.find_first_of(L"*?") != std::wstring::npos;
            if (wild && (!pattern || !last))
                return PathVerdict::InvalidName;
            components.push_back(component);
            if (last)
                break;
            start = end + 1;
        }
    }

    std::wstring pc = storageRoot;
    for (const auto& c : components)
        pc += L'\\' + c;
    out.pcPath = pc;
    out.isRoot = components.empty();
    return PathVerdict::Accepted;
}
