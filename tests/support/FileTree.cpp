#include "tests/support/FileTree.h"

#include <windows.h>

#include <algorithm>

#include "emulator/link/Utf8.h"

namespace testsupport {

bool CreateFolders(const std::wstring& path) {
    if (path.empty())
        return false;
    DWORD a = GetFileAttributesW(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES)
        return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 2)
        CreateFolders(path.substr(0, slash));
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

static bool WriteRaw(const std::wstring& path, const void* data, size_t size) {
    size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        CreateFolders(path.substr(0, slash));
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = size == 0 ||
              (WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
    CloseHandle(f);
    return ok;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    return WriteRaw(path, bytes.data(), bytes.size());
}

bool WriteFileBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    return WriteRaw(path, bytes.data(), bytes.size());
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    bytes.clear();
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buffer, sizeof buffer, &got, nullptr)) && got != 0)
        bytes.append(buffer, got);
    CloseHandle(f);
    return ok;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

std::string PatternBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 12345;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(x >> 16);
    }
    return bytes;
}

bool FileExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool SetReadOnly(const std::wstring& path, bool readOnly) {
    DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES)
        return false;
    a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesW(path.c_str(), a ? a : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

static void ListInto(const std::wstring& root, const std::wstring& relative,
                     std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW data;
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(rel + L"\\");
            ListInto(root, rel, out);
        } else {
            out.push_back(rel);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::vector<std::wstring> ListTree(const std::wstring& root) {
    std::vector<std::wstring> out;
    ListInto(root, L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

std::string CompareTrees(const std::wstring& expected, const std::wstring& actual) {
    std::vector<std::wstring> a = ListTree(expected), b = ListTree(actual);
    std::string report;
    size_t i = 0, j = 0;
    while ((i < a.size() || j < b.size()) && report.size() < 4000) {
        if (j >= b.size() || (i < a.size() && a[i] < b[j])) {
            report += "missing: " + Utf8(a[i++]) + "\n";
        } else if (i >= a.size() || b[j] < a[i]) {
            report += "unexpected: " + Utf8(b[j++]) + "\n";
        } else {
            const std::wstring& rel = a[i];
            if (rel.back() != L'\\') {
                std::string x, y;
                bool readX = ReadFileBytes(expected + L"\\" + rel, x);
                bool readY = ReadFileBytes(actual + L"\\" + rel, y);
                if (!readX || !readY)
                    report += "unreadable: " + Utf8(rel) + "\n";
                else if (x != y)
                    report += "differs: " + Utf8(rel) + " (" + std::to_string(x.size()) + " vs " +
                              std::to_string(y.size()) + " bytes)\n";
            }
            ++i;
            ++j;
        }
    }
    return report;
}

std::string Utf8(const std::wstring& text) {
    return link::Utf8(text);
}

} // namespace testsupport
