#include "tests/scan/TempTree.h"

#include <gtest/gtest.h>

#include <atomic>

#include "framework/UniqueResource.h"

namespace {

bool IsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

using UnixFileName = char*(CDECL*)(LPCWSTR);

// Wine's own export: the host path of a Windows path. Null elsewhere.
UnixFileName WineUnixFileName() {
    return reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

// The host path as a quoted argument, or "" where there is no host.
std::wstring QuotedHostPath(const std::wstring& path) {
    UnixFileName unixName = WineUnixFileName();
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name)
        return std::wstring();
    std::wstring quoted = L"\"";
    for (const char* c = name; *c; ++c)
        quoted += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    quoted += L"\"";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return quoted;
}

// Runs a host program under Wine. Wine reports neither when a host program
// ends nor its exit code, so the caller's condition is waited for instead.
template <typename Done> bool RunOnHost(std::wstring command, Done done) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    for (int tries = 0; tries < 100; ++tries) {
        if (done())
            return true;
        ::Sleep(50);
    }
    return false;
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (search.valid()) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                // Never followed: the link may lead back up the tree.
                if (!::RemoveDirectoryW(path.c_str()))
                    ::DeleteFileW(path.c_str());
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(search.get(), &found));
    }
    search.reset();
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace

TempTree::TempTree() {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    for (;;) {
        root_ = std::wstring(temp) + L"pelko-scan-" + std::to_wstring(::GetCurrentProcessId()) +
                L"-" + std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(counter++);
        if (::CreateDirectoryW(root_.c_str(), nullptr))
            break;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder, error " << ::GetLastError();
            break;
        }
    }
}

TempTree::~TempTree() {
    // Wine can remove neither a host link nor, then, the folders around it;
    // the host's rm removes links without following them.
    if (hostLinks_ && RunOnHost(L"/bin/rm -rf " + QuotedHostPath(root_), [&] {
            return ::GetFileAttributesW(root_.c_str()) == INVALID_FILE_ATTRIBUTES;
        }))
        return;
    RemoveTree(root_);
}

void TempTree::Make(std::vector<const wchar_t*> items) const {
    for (const wchar_t* item : items) {
        const std::wstring relative = item;
        if (!relative.empty() && relative.back() == L'\\') {
            MakeFolder(relative.substr(0, relative.size() - 1));
        } else {
            const std::wstring name = relative.substr(relative.rfind(L'\\') + 1);
            MakeFile(relative, std::string(name.begin(), name.end()));
        }
    }
}

void TempTree::MakeFolder(const std::wstring& relative) const {
    ASSERT_TRUE(::CreateDirectoryW(Path(relative).c_str(), nullptr))
        << "error " << ::GetLastError();
}

void TempTree::MakeFile(const std::wstring& relative, const std::string& content) const {
    UniqueFile file(::CreateFileW(Path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid()) << "error " << ::GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()),
                            &written, nullptr));
    ASSERT_EQ(content.size(), written);
}

void TempTree::MakeFileOfSize(const std::wstring& relative, uint64_t size) const {
    UniqueFile file(::CreateFileW(Path(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid()) << "error " << ::GetLastError();
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file.get())) << "error " << ::GetLastError();
}

bool TempTree::MakeFolderLink(const std::wstring& relative, const std::wstring& targetRelative) {
    const std::wstring link = Path(relative);
    const std::wstring target = targetRelative.empty() ? root_ : Path(targetRelative);
    // Under Wine the host's symbolic link to a folder shows as a folder with
    // FILE_ATTRIBUTE_REPARSE_POINT, while Wine's CreateSymbolicLinkW makes
    // nothing; so the host's ln makes the link where there is a host.
    const std::wstring hostLink = QuotedHostPath(link), hostTarget = QuotedHostPath(target);
    if (!hostLink.empty() && !hostTarget.empty()) {
        hostLinks_ = true;
        if (RunOnHost(L"/bin/ln -s " + hostTarget + L" " + hostLink, [&] { return IsLink(link); }))
            return true;
    }
    ::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    return IsLink(link);
}
