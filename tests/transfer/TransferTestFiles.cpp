#include "tests/transfer/TransferTestFiles.h"

#include "framework/UniqueResource.h"

#include <atomic>

TempFolder::TempFolder() {
    static std::atomic<unsigned> serial{0};
    wchar_t temp[MAX_PATH];
    const DWORD length = ::GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp, length);
    if (!base.empty() && base.back() == L'\\')
        base.pop_back();
    for (;;) {
        path = base + L"\\pelko-xfer-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(::GetTickCount()) + L"-" + std::to_wstring(++serial);
        if (::CreateDirectoryW(path.c_str(), nullptr))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            path.clear();
            break;
        }
    }
}

TempFolder::~TempFolder() {
    if (!path.empty())
        RemoveTree(path);
}

std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return bytes.empty() || (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                         &written, nullptr) &&
                             written == bytes.size());
}

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), 0);
    DWORD read = 0;
    return bytes.empty() || (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                        &read, nullptr) &&
                             read == bytes.size());
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    UniqueFind find(::FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find.get(), &data));
    }
    find.reset();
    return ::RemoveDirectoryW(path.c_str()) || !FileExists(path);
}
