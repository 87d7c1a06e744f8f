#pragma once
// Depth-first walk over a PC folder tree: each folder's listing, then its
// subfolders. Memory grows with the depth of the tree only.
#include <windows.h>

#include <cstddef>
#include <stack>
#include <string>
#include <vector>

#include "framework/UniqueResource.h"

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
    // A folder on the way from the root down to the folder being listed,
    // with the search in which it was found: the lookup of the root path for
    // the root, the search over the parent's subfolders for any other.
    struct FolderEntry {
        UniqueFind searchHandle;
        std::wstring path;
    };

    // Starts the listing of the top folder; where it cannot start, moves on
    // to the next folder of the walk whose listing can.
    void OpenListing();
    // Enters the first subfolder of the top folder that may be entered.
    bool Descend();
    // Replaces the top folder by its next sibling that may be entered, or,
    // once its siblings are exhausted, by its parent's next sibling.
    bool NextSibling();
    void PushFolder(FolderEntry entry);
    // Closes and removes the top entry; true while entries remain.
    bool PopFolder();

    std::stack<FolderEntry, std::vector<FolderEntry>> folderStack;
    WIN32_FIND_DATAW entryData{};
    // Root lookup and subfolder searches write here, so they never disturb
    // the current entry.
    WIN32_FIND_DATAW scratchData{};
    UniqueFind listingHandle;
    std::size_t rootLength = 0;
    std::wstring pattern;
    bool recursive = false;
};
