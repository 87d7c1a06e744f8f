#include "scan/ProgramFolder.h"

#include <algorithm>

namespace {

// The C library's upper-case mapping in the "C" locale, which the program
// never leaves: a-z only, every other unit unchanged.
wchar_t RaiseAsciiLetter(wchar_t unit) {
    return (unit >= L'a' && unit <= L'z') ? static_cast<wchar_t>(unit - L'a' + L'A') : unit;
}

} // namespace

std::wstring ProgramFolderFromModulePath(const wchar_t (&modulePath)[MAX_PATH]) {
    // A path cut short to the buffer may be unterminated, so the search
    // covers every unit rather than stopping at a zero.
    const wchar_t* const end = modulePath + MAX_PATH;
    const wchar_t* const lastBackslash =
        std::find(std::make_reverse_iterator(end), std::make_reverse_iterator(modulePath), L'\\')
            .base();
    if (lastBackslash == modulePath)
        return std::wstring(); // no folder part at all
    const wchar_t* const folderEnd = lastBackslash - 1;
    std::wstring folder(modulePath, std::find(modulePath, folderEnd, L'\0'));
    std::transform(folder.begin(), folder.end(), folder.begin(), RaiseAsciiLetter);
    return folder;
}

std::wstring ProgramFolder() {
    wchar_t modulePath[MAX_PATH] = {};
    if (::GetModuleFileNameW(nullptr, modulePath, MAX_PATH) == 0)
        return std::wstring();
    return ProgramFolderFromModulePath(modulePath);
}
