#include "device/DeviceConnection.h"
#include "scan/DirectoryWalker.h"
#include "scan/UpdateList.h"

void ScanUpdateFolder(std::wstring sourceRoot, std::wstring targetRoot) {
    DirectoryWalker walker(sourceRoot, L"*", true);
    for (; walker.HasEntry(); walker.Advance()) {
        const WIN32_FIND_DATAW& entry = walker.Entry();
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        // Read before Advance, which may move the walker to another folder.
        const std::wstring relative = walker.RelativeFolder();
        std::wstring source = sourceRoot + relative + L"\\" + name;
        std::wstring target = targetRoot + relative + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A folder that exists already, or that the device refuses, shows
            // up later when its files are copied.
            DeviceConnection::Instance().CeCreateDirectory(target.c_str(), nullptr);
            continue;
        }
        UpdateList.sourcePaths.push_back(std::move(source));
        UpdateList.targetPaths.push_back(std::move(target));
    }
}
