#include "tests/support/TempDir.h"

#include <windows.h>

#include <atomic>

namespace testsupport {

TempDir::TempDir(const std::wstring& prefix) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(ARRAYSIZE(temp), temp);
    std::wstring base(temp, n);
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    for (;;) {
        std::wstring candidate =
            base + L"\\" + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount() & 0xFFFF);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return;
    }
}

TempDir::~TempDir() {
    if (!path_.empty())
        RemoveTree(path_);
}

bool RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    // A process that was just killed may hold a file for a moment longer.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (RemoveDirectoryW(path.c_str()) ||
            GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(20);
    }
    return false;
}

} // namespace testsupport
