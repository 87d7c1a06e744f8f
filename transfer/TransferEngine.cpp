#include "transfer/TransferEngine.h"

#include "app/StatusMessages.h"
#include "device/DeviceConnection.h"
#include "device/DeviceHandles.h"
#include "device/DeviceTrace.h"
#include "framework/UniqueResource.h"
#include "transfer/BlockProgress.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// A post that fails (the thread has no queue yet, or has ended) is dropped:
// the copy goes on regardless.
void PostStatus(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (threadId != 0)
        ::PostThreadMessageW(threadId, message, wParam, lParam);
}

// The error is read before the tick count, so nothing in between can change it.
void PostCopyFailed(DWORD threadId, DWORD error) {
    const DWORD tick = ::GetTickCount();
    PostStatus(threadId, UM_COPY_FAILED, tick, static_cast<LPARAM>(error));
}

void PostWithTick(DWORD threadId, UINT message) {
    PostStatus(threadId, message, ::GetTickCount(), 0);
}

enum class CopyOutcome { Copied, NotCopied, Failed, Stopped };

// A file that is not copied at all; the thread learns of it with the error
// that stopped it.
CopyOutcome NotCopied(DWORD threadId, DWORD error) {
    PostCopyFailed(threadId, error);
    return CopyOutcome::NotCopied;
}

CopyOutcome CopyOne(const std::wstring& source, const std::wstring& target, uint32_t blockSize,
                    DWORD threadId, const volatile uint8_t* stop) {
    UniqueFile pcFile(::CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!pcFile)
        return NotCopied(threadId, ::GetLastError());

    // A block size of 0 would never advance through the file.
    std::unique_ptr<uint8_t[]> buffer(blockSize != 0 ? new (std::nothrow) uint8_t[blockSize]
                                                     : nullptr);
    if (!buffer)
        return NotCopied(threadId,
                         blockSize != 0 ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);

    DeviceConnection& device = DeviceConnection::Instance();
    if (!device.Connect())
        return NotCopied(threadId, ::GetLastError());

    UniqueDeviceFile deviceFile(device.CeCreateFile(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!deviceFile) {
        const DWORD error = ::GetLastError();
        TraceDeviceError(L"CeCreateFile", target);
        return NotCopied(threadId, error);
    }

    DWORD sizeHigh = 0;
    const DWORD sizeLow = ::GetFileSize(pcFile.get(), &sizeHigh);
    const uint64_t fileSize = (static_cast<uint64_t>(sizeHigh) << 32) + sizeLow;

    uint64_t done = 0;
    bool failed = false;
    bool stopped = false;
    for (bool moreBlocks = fileSize != 0; moreBlocks;) {
        stopped = *stop != 0;
        if (stopped || failed)
            break;

        DWORD bytesRead = 0;
        if (!::ReadFile(pcFile.get(), buffer.get(), blockSize, &bytesRead, nullptr))
            failed = true;

        DWORD bytesWritten = 0;
        const BOOL wrote =
            device.CeWriteFile(deviceFile.get(), buffer.get(), bytesRead, &bytesWritten, nullptr);
        // A short write loses data just as a failed one does.
        if (!wrote || bytesWritten < bytesRead) {
            failed = true;
            TraceDeviceError(L"CeWriteFile", target);
        }

        if (threadId != 0)
            PostStatus(threadId, UM_BLOCK_COPIED,
                       static_cast<WPARAM>(BlockPercent(fileSize, done + bytesRead)),
                       static_cast<LPARAM>(bytesRead));

        done = AdvanceDone(done, blockSize);
        moreBlocks = !AllBlocksHandled(done, fileSize);
    }
    // After the last block the stop byte is read once more, and only once, so
    // that the decision and the message agree. A stop or a failure in the last
    // block aborts too: the file on the device would be incomplete.
    if (!stopped && !failed)
        stopped = *stop != 0;
    const bool aborted = failed || (stopped && fileSize != 0);
    buffer.reset();
    pcFile.reset();
    deviceFile.reset();

    if (aborted) {
        device.CeDeleteFile(target.c_str());
        if (failed)
            PostCopyFailed(threadId, ::GetLastError());
        else
            PostWithTick(threadId, UM_COPY_STOPPED);
        return failed ? CopyOutcome::Failed : CopyOutcome::Stopped;
    }

    if (!stopped)
        PostWithTick(threadId, UM_FILE_COPIED);
    return CopyOutcome::Copied;
}

const volatile uint8_t* StopByteOrNever(const volatile uint8_t* stop) {
    static const volatile uint8_t neverStop = 0;
    return stop != nullptr ? stop : &neverStop;
}

} // namespace

bool TransferEngine::CopyFileToDevice(const std::wstring& source, const std::wstring& target,
                                      uint32_t blockSize, DWORD threadId,
                                      const volatile uint8_t* stop) {
    return CopyOne(source, target, blockSize, threadId, StopByteOrNever(stop)) ==
           CopyOutcome::Copied;
}

void TransferEngine::CopyListToDevice(const std::vector<std::wstring>& sources,
                                      const std::vector<std::wstring>& targets, uint32_t blockSize,
                                      DWORD threadId, const volatile uint8_t* stop) {
    stop = StopByteOrNever(stop);
    bool walkStopped = false;
    const size_t pairs = std::min(sources.size(), targets.size());
    for (size_t i = 0; i < pairs && !walkStopped; ++i) {
        // A file abandoned for a stop ends the walk even if the stop byte has
        // been cleared again meanwhile.
        const CopyOutcome outcome = CopyOne(sources[i], targets[i], blockSize, threadId, stop);
        walkStopped = outcome == CopyOutcome::Stopped || *stop != 0;
    }
    // A source without a target is a file that is not copied.
    for (size_t i = pairs; i < sources.size() && !walkStopped; ++i)
        NotCopied(threadId, ERROR_INVALID_PARAMETER);

    // A walk that a stop cut short is not complete, even if the stop byte has
    // been cleared again since.
    if (threadId != 0 && !walkStopped && *stop == 0)
        PostWithTick(threadId, UM_ALL_COPIED);
}
