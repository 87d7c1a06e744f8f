#pragma once
// Copies PC files to device paths in blocks, reporting each block to a thread
// with the status messages of app/StatusMessages.h.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class TransferEngine {
public:
    // Copies one file. threadId 0 posts nothing; a nonzero *stop aborts the
    // copy at the next block. True when the copy ran to the end of the file.
    bool CopyFileToDevice(const std::wstring& source, const std::wstring& target, uint32_t blockSize,
                          DWORD threadId, const volatile uint8_t* stop);

    // Copies every pair of the two lists in order, then posts UM_ALL_COPIED.
    void CopyListToDevice(const std::vector<std::wstring>& sources,
                          const std::vector<std::wstring>& targets, uint32_t blockSize,
                          DWORD threadId, const volatile uint8_t* stop);
};
