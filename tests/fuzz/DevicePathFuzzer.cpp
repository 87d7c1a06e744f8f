// devicesim's path checks: the first byte says whether a pattern is allowed,
// the rest is the device path in UTF-16LE. An accepted path stays below the
// storage folder: it is the storage folder and the device path's own
// components, none of them empty, ".", "..", holding ':' or '/', ending in a
// dot or space, or a reserved device name.
#include "emulator/device/DevicePath.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

const std::wstring StorageRoot = L"Z:\\device storage";

bool IsForbiddenUnit(wchar_t c) {
    return c < 0x20 || c == L'/' || c == L':' || c == L'<' || c == L'>' || c == L'"' || c == L'|';
}

bool IsWild(wchar_t c) {
    return c == L'*' || c == L'?';
}

std::wstring AsciiUpper(std::wstring s) {
    for (auto& c : s)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return s;
}

bool IsReservedName(const std::wstring& component) {
    std::wstring base = AsciiUpper(component.substr(0, component.find(L'.')));
    base.erase(base.find_last_not_of(L' ') + 1);
    for (const wchar_t* n : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"})
        if (base == n)
            return true;
    return base.size() == 4 && (base.rfind(L"COM", 0) == 0 || base.rfind(L"LPT", 0) == 0) &&
           base[3] >= L'0' && base[3] <= L'9';
}

void CheckAccepted(const std::wstring& devicePath, bool pattern, const MappedPath& mapped) {
    PELKO_FUZZ_CHECK(devicePath.size() <= MaxDevicePathUnits);
    PELKO_FUZZ_CHECK(!devicePath.empty() && devicePath[0] == L'\\');
    // The storage folder, then the device path less its one trailing backslash.
    std::wstring below = devicePath;
    if (below.size() > 1 && below.back() == L'\\')
        below.pop_back();
    PELKO_FUZZ_CHECK(mapped.isRoot == (below == L"\\"));
    PELKO_FUZZ_CHECK(mapped.pcPath == (mapped.isRoot ? StorageRoot : StorageRoot + below));
    if (mapped.isRoot)
        return;
    size_t start = 1;
    for (;;) {
        const size_t end = below.find(L'\\', start);
        const bool last = end == std::wstring::npos;
        const std::wstring component = below.substr(start, last ? std::wstring::npos : end - start);
        PELKO_FUZZ_CHECK(!component.empty());
        PELKO_FUZZ_CHECK(component != L"." && component != L"..");
        PELKO_FUZZ_CHECK(component.back() != L'.' && component.back() != L' ');
        for (wchar_t c : component) {
            PELKO_FUZZ_CHECK(!IsForbiddenUnit(c));
            PELKO_FUZZ_CHECK(!IsWild(c) || (pattern && last));
        }
        PELKO_FUZZ_CHECK(!IsReservedName(component));
        if (last)
            break;
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const bool pattern = (data[0] & 1) != 0;
    const std::wstring devicePath = fuzz::Utf16Units(data + 1, size - 1);
    MappedPath mapped;
    mapped.pcPath = L"untouched";
    const PathVerdict verdict = MapDevicePath(StorageRoot, devicePath, pattern, mapped);
    if (verdict == PathVerdict::Accepted) {
        CheckAccepted(devicePath, pattern, mapped);
        // Whatever a plain path may name, a pattern may name too.
        MappedPath again;
        PELKO_FUZZ_CHECK(pattern || MapDevicePath(StorageRoot, devicePath, true, again) ==
                                        PathVerdict::Accepted);
        PELKO_FUZZ_CHECK(pattern || again.pcPath == mapped.pcPath);
    } else {
        PELKO_FUZZ_CHECK(mapped.pcPath == L"untouched");
        PELKO_FUZZ_CHECK(verdict != PathVerdict::TooLong || devicePath.size() > MaxDevicePathUnits);
    }
    return 0;
}
