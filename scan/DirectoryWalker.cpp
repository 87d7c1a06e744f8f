#include "scan/DirectoryWalker.h"

namespace {

// A subfolder the walk goes into: a folder whose name does not begin with a
// full stop ("." and ".." included) and that is not a link (junction,
// symbolic link), so that a link back to an ancestor cannot make the walk
// endless. Links are still entries of their parent's listing.
bool MayEnter(const WIN32_FIND_DATAW& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
           found.cFileName[0] != L'.';
}

} // namespace

DirectoryWalker::DirectoryWalker(const std::wstring& root, const std::wstring& listingPattern,
                                 bool recurse)
    : rootLength(root.size()), pattern(listingPattern), recursive(recurse) {
    UniqueFind lookup(::FindFirstFileW(root.c_str(), &scratchData));
    const bool isFolder =
        lookup.valid() && (scratchData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A bare drive such as E: cannot be looked up, but can be listed.
    const bool isBareDrive = !root.empty() && root.back() == L':';
    if (isFolder || isBareDrive) {
        PushFolder(FolderEntry{std::move(lookup), root});
        OpenListing();
    }
}

DirectoryWalker::~DirectoryWalker() {
    while (!folderStack.empty())
        PopFolder();
    listingHandle.reset();
}

bool DirectoryWalker::HasEntry() const {
    return listingHandle.valid();
}

std::wstring DirectoryWalker::RelativeFolder() const {
    if (folderStack.empty())
        return std::wstring();
    return folderStack.top().path.substr(rootLength);
}

void DirectoryWalker::Advance() {
    if (::FindNextFileW(listingHandle.get(), &entryData))
        return;
    listingHandle.reset();
    if (recursive && (Descend() || NextSibling()))
        OpenListing();
}

void DirectoryWalker::OpenListing() {
    for (;;) {
        const std::wstring search = folderStack.top().path + L"\\" + pattern;
        listingHandle.reset(::FindFirstFileW(search.c_str(), &entryData));
        if (listingHandle.valid())
            return;
        if (!recursive || !(Descend() || NextSibling()))
            return;
    }
}

bool DirectoryWalker::Descend() {
    if (folderStack.empty())
        return false;
    const std::wstring& parent = folderStack.top().path;
    UniqueFind search(::FindFirstFileW((parent + L"\\*").c_str(), &scratchData));
    if (!search.valid())
        return false;
    do {
        if (MayEnter(scratchData)) {
            std::wstring path = parent + L"\\" + scratchData.cFileName;
            PushFolder(FolderEntry{std::move(search), std::move(path)});
            return true;
        }
    } while (::FindNextFileW(search.get(), &scratchData));
    return false;
}

bool DirectoryWalker::NextSibling() {
    while (!folderStack.empty()) {
        FolderEntry& top = folderStack.top();
        // The root's own lookup is never continued: the root is one folder,
        // and every path on the stack must stay below it.
        if (folderStack.size() > 1 && top.searchHandle.valid()) {
            while (::FindNextFileW(top.searchHandle.get(), &scratchData)) {
                if (MayEnter(scratchData)) {
                    top.path.replace(top.path.rfind(L'\\') + 1, std::wstring::npos,
                                     scratchData.cFileName);
                    return true;
                }
            }
        }
        if (!PopFolder())
            return false;
    }
    return false;
}

void DirectoryWalker::PushFolder(FolderEntry entry) {
    folderStack.push(std::move(entry));
}

bool DirectoryWalker::PopFolder() {
    if (folderStack.empty())
        return false;
    folderStack.pop();
    return !folderStack.empty();
}
