// The least that any copy of a folder tree to the device must do, for
// bench/copy_floor.sh to hold pelko against: connect through the system's
// rapi.dll, create every folder, then for every file CeCreateFile
// (CREATE_ALWAYS), CeWriteFile in blocks of the product's block size and
// CeCloseHandle. Nothing is measured, deleted or checked on the device.
//
//   minimalcopy.exe <PC folder> <device folder>
//
// Prints key=value lines: the copy's own time (from the first device request
// after the connection to the last close), the connection's time, the
// counts, and the client's peak working set.
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "device/DeviceConnection.h"
#include "device/DeviceHandles.h"
#include "emulator/link/Ticks.h"
#include "framework/UniqueResource.h"
#include "install/InstallConstants.h"
#include "scan/DirectoryWalker.h"

namespace {

struct CopyList {
    std::vector<std::wstring> folders; // relative, parents before children
    std::vector<std::wstring> files;   // relative
};

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

CopyList ListTree(const std::wstring& root) {
    CopyList list;
    DirectoryWalker walker(root, L"*", true);
    for (; walker.HasEntry(); walker.Advance()) {
        const WIN32_FIND_DATAW& entry = walker.Entry();
        if (IsDotEntry(entry.cFileName))
            continue;
        std::wstring relative = walker.RelativeFolder() + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            list.folders.push_back(std::move(relative));
        else
            list.files.push_back(std::move(relative));
    }
    return list;
}

// Copies one PC file to a new device file; false with a message on failure.
bool CopyFileToDevice(const std::wstring& source, const std::wstring& target, uint8_t* buffer,
                      uint64_t& bytes) {
    DeviceConnection& device = DeviceConnection::Instance();
    UniqueFile pcFile(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!pcFile) {
        fwprintf(stderr, L"minimalcopy: cannot open %ls (error %lu)\n", source.c_str(),
                 ::GetLastError());
        return false;
    }
    UniqueDeviceFile deviceFile(device.CeCreateFile(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!deviceFile) {
        fwprintf(stderr, L"minimalcopy: CeCreateFile %ls failed (device error %lu)\n",
                 target.c_str(), device.CeGetLastError());
        return false;
    }
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(pcFile.get(), buffer, UpdateBlockSize, &read, nullptr)) {
            fwprintf(stderr, L"minimalcopy: cannot read %ls (error %lu)\n", source.c_str(),
                     ::GetLastError());
            return false;
        }
        if (read == 0)
            break;
        DWORD written = 0;
        if (!device.CeWriteFile(deviceFile.get(), buffer, read, &written, nullptr) ||
            written != read) {
            fwprintf(stderr, L"minimalcopy: CeWriteFile %ls failed (device error %lu)\n",
                     target.c_str(), device.CeGetLastError());
            return false;
        }
        bytes += read;
    }
    if (!device.CeCloseHandle(deviceFile.release())) {
        fwprintf(stderr, L"minimalcopy: CeCloseHandle %ls failed\n", target.c_str());
        return false;
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: minimalcopy <PC folder> <device folder>\n");
        return 2;
    }
    const std::wstring source = argv[1];
    const std::wstring target = argv[2];
    // The PC side is listed before the clock starts: only the device's part
    // and the reading of the files are timed.
    const CopyList list = ListTree(source);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[UpdateBlockSize]);

    DeviceConnection& device = DeviceConnection::Instance();
    const int64_t connectStart = link::Ticks();
    if (!device.Connect()) {
        fprintf(stderr, "minimalcopy: no device\n");
        return 1;
    }
    const int64_t copyStart = link::Ticks();
    // The target folder may exist already; only its children must be new.
    device.CeCreateDirectory(target.c_str(), nullptr);
    for (const std::wstring& folder : list.folders) {
        const std::wstring path = target + folder;
        if (!device.CeCreateDirectory(path.c_str(), nullptr)) {
            fwprintf(stderr, L"minimalcopy: CeCreateDirectory %ls failed (device error %lu)\n",
                     path.c_str(), device.CeGetLastError());
            return 1;
        }
    }
    uint64_t bytes = 0;
    for (const std::wstring& file : list.files) {
        if (!CopyFileToDevice(source + file, target + file, buffer.get(), bytes))
            return 1;
    }
    const int64_t copyEnd = link::Ticks();
    device.Disconnect();

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    printf("connect_s=%.3f\n", link::SecondsBetween(connectStart, copyStart));
    printf("copy_s=%.3f\n", link::SecondsBetween(copyStart, copyEnd));
    printf("folders=%zu\n", list.folders.size());
    printf("files=%zu\n", list.files.size());
    printf("bytes=%llu\n", static_cast<unsigned long long>(bytes));
    printf("peak_working_set_kib=%llu\n",
           static_cast<unsigned long long>(memory.PeakWorkingSetSize / 1024));
    return 0;
}
