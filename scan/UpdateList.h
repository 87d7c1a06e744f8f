#pragma once
// The files of the update: where each lies on the PC and where it goes on the
// device, paired by index, and the sum of their sizes.
#include <cstdint>
#include <string>
#include <vector>

struct UpdateListType {
    std::vector<std::wstring> sourcePaths;
    std::vector<std::wstring> targetPaths;
};
extern UpdateListType UpdateList;

// Sum of the sizes of the files in UpdateList.sourcePaths; the denominator of
// the overall progress. Written once by the worker before the copy starts.
extern int64_t TotalBytes;

// Creates every folder of the tree below targetRoot on the device and appends
// every file to UpdateList.
void ScanUpdateFolder(std::wstring sourceRoot, std::wstring targetRoot);

uint64_t SumFileSizes(const std::vector<std::wstring>& paths);
uint64_t LocalFileSize(const std::wstring& path);
