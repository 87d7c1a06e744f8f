#pragma once
// Copies PC files to device paths in blocks, reporting each block to a thread
// with the status messages of app/StatusMessages.h.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class TransferEngine {
public:
    // Copies one file. threadId 0 posts nothing. *stop is read before every
    // block and after the last one; nonzero aborts the copy. True when the
    // whole file was written to the device. An aborted copy deletes its device
    // file. A file that is not copied at all is reported with UM_COPY_FAILED
    // like one whose copy failed.
    bool CopyFileToDevice(const std::wstring& source, const std::wstring& target,
                          uint32_t blockSize, DWORD threadId, const volatile uint8_t* stop);

    // Copies every pair of the two lists in order, then posts UM_ALL_COPIED
    // unless a stop ended the walk. A source without a target is a file that
    // is not copied.
    void CopyListToDevice(const std::vector<std::wstring>& sources,
                          const std::vector<std::wstring>& targets, uint32_t blockSize,
                          DWORD threadId, const volatile uint8_t* stop);
};
