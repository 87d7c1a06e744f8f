#pragma once
// Depth-first walk over a PC folder tree: each folder's listing, then its
// subfolders. Memory grows with the depth of the tree only.
#include <windows.h>

#include <string>

class DirectoryWalker {
public:
    DirectoryWalker(const std::wstring& root, const std::wstring& pattern, bool recursive);
    ~DirectoryWalker();
    DirectoryWalker(const DirectoryWalker&) = delete;
    DirectoryWalker& operator=(const DirectoryWalker&) = delete;

    bool HasEntry() const;
    // The current entry; valid only while HasEntry().
    const WIN32_FIND_DATAW& Entry() const { return entryData; }
    // The top folder's path below the root: empty for the root itself,
    // otherwise beginning with a backslash.
    std::wstring RelativeFolder() const;
    void Advance();

private:
    // Implementation: folderStack, entryData, scratchData, listingHandle,
    // rootLength, pattern, recursive; OpenListing, Descend, NextSibling,
    // PushFolder, PopFolder.
    WIN32_FIND_DATAW entryData{};
};
