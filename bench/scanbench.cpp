// Walks a folder tree with DirectoryWalker and reports, at intervals, how
// many entries were walked, the time taken and the memory in use, to show
// that the walk's memory follows the depth of the tree, not its size.
//
//   scanbench.exe <root> [report-every]
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "scan/DirectoryWalker.h"

namespace {

// Heap bytes held through operator new, counted by a size header in front
// of every block.
size_t liveBytes = 0;
size_t peakLiveBytes = 0;

void* Allocate(size_t size) {
    void* block = std::malloc(size + sizeof(max_align_t));
    if (!block)
        throw std::bad_alloc();
    *static_cast<size_t*>(block) = size;
    liveBytes += size;
    if (liveBytes > peakLiveBytes)
        peakLiveBytes = liveBytes;
    return static_cast<char*>(block) + sizeof(max_align_t);
}

void Release(void* pointer) {
    if (!pointer)
        return;
    void* block = static_cast<char*>(pointer) - sizeof(max_align_t);
    liveBytes -= *static_cast<size_t*>(block);
    std::free(block);
}

void Report(const char* when, unsigned long long entries, unsigned depth, ULONGLONG start) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    std::printf("%-8s entries %7llu  depth %2u  ms %6llu  heap live %6zu B peak %6zu B  "
                "working set %6llu KiB peak %6llu KiB  private %6llu KiB\n",
                when, entries, depth, ::GetTickCount64() - start, liveBytes, peakLiveBytes,
                static_cast<unsigned long long>(counters.WorkingSetSize / 1024),
                static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024),
                static_cast<unsigned long long>(counters.PagefileUsage / 1024));
    std::fflush(stdout);
}

} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
void operator delete(void* pointer) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer) noexcept {
    Release(pointer);
}
void operator delete(void* pointer, size_t) noexcept {
    Release(pointer);
}
void operator delete[](void* pointer, size_t) noexcept {
    Release(pointer);
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: scanbench <root> [report-every]\n");
        return 2;
    }
    const unsigned long long every = argc > 2 ? std::wcstoull(argv[2], nullptr, 10) : 10000;
    const std::wstring root = argv[1];
    const ULONGLONG start = ::GetTickCount64();
    unsigned long long entries = 0, files = 0, folders = 0;
    unsigned maxDepth = 0;
    Report("start", 0, 0, start);
    {
        DirectoryWalker walker(root, L"*", true);
        Report("opened", 0, 0, start);
        for (; walker.HasEntry(); walker.Advance()) {
            const std::wstring relative = walker.RelativeFolder();
            unsigned depth = 0;
            for (wchar_t c : relative)
                depth += c == L'\\';
            if (depth > maxDepth)
                maxDepth = depth;
            const WIN32_FIND_DATAW& entry = walker.Entry();
            if (entry.cFileName[0] == L'.' &&
                (entry.cFileName[1] == 0 ||
                 (entry.cFileName[1] == L'.' && entry.cFileName[2] == 0)))
                continue;
            ++entries;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ++folders;
            else
                ++files;
            if (entries % every == 0)
                Report("walking", entries, depth, start);
        }
        Report("walked", entries, maxDepth, start);
    }
    Report("end", entries, maxDepth, start);
    std::printf("files %llu folders %llu max depth %u\n", files, folders, maxDepth);
    return 0;
}
