#pragma once
// A thread of the test that stands in for the relay thread: it records every
// status message posted to it, in order, until the test ends the recording.
#include "framework/UniqueResource.h"

#include <windows.h>

#include <cstdint>
#include <vector>

struct PostedMessage {
    UINT id;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageRecorder {
public:
    // When `stopOnFirstBlock` is given, the recorder sets that byte to 1 as
    // soon as it sees the first UM_BLOCK_COPIED.
    explicit MessageRecorder(volatile uint8_t* stopOnFirstBlock = nullptr)
        : stopOnFirstBlock(stopOnFirstBlock) {}
    ~MessageRecorder();

    // Starts the thread and returns once its message queue exists, so that no
    // post to ThreadId() can be lost. False when the thread could not start.
    bool Start();
    DWORD ThreadId() const { return threadId; }

    // Ends the recording and returns everything posted before this call.
    // Posts made by the copy have all been queued once it has returned, so an
    // end marker behind them is enough; the wait is only a guard.
    std::vector<PostedMessage> Finish();
    // False when Finish had to give up waiting for the thread.
    bool Finished() const { return finished; }

    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

private:
    static DWORD WINAPI Run(void* self);

    volatile uint8_t* stopOnFirstBlock;
    UniqueHandle ready;
    UniqueHandle thread;
    DWORD threadId = 0;
    bool finished = false;
    std::vector<PostedMessage> messages;
};
