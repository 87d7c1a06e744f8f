#pragma once
// A folder tree made by a test in a folder of its own below the temporary
// folder, removed again with everything in it when the test ends.
#include <windows.h>

#include <cstdint>
#include <vector>
#include <string>

class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::wstring& Root() const { return root_; }
    std::wstring Path(const std::wstring& relative) const { return root_ + L"\\" + relative; }

    // Each item is a path below the root; one ending in a backslash is a
    // folder, any other a file holding its own name as text. Parent folders
    // must come before what is inside them.
    void Make(std::vector<const wchar_t*> items) const;
    void MakeFolder(const std::wstring& relative) const;
    void MakeFile(const std::wstring& relative, const std::string& content = std::string()) const;
    // A file of the given size whose content is never written: sparse where
    // the file system allows it.
    void MakeFileOfSize(const std::wstring& relative, uint64_t size) const;
    // A link named `relative` to the folder `targetRelative`, shown by the
    // system as a folder with FILE_ATTRIBUTE_REPARSE_POINT. False when no
    // such link can be made here.
    bool MakeFolderLink(const std::wstring& relative, const std::wstring& targetRelative);

private:
    std::wstring root_;
    bool hostLinks_ = false;
};
