#pragma once
// A fresh, uniquely named folder under the temp folder; removed with all its
// contents when the object goes.
#include <string>

namespace testsupport {

class TempDir {
public:
    explicit TempDir(const std::wstring& prefix = L"pelko");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Windows path, no trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Path() + L"\\" + relative.
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

// Removes a folder tree (read-only files included); true when it is gone.
bool RemoveTree(const std::wstring& path);

} // namespace testsupport
