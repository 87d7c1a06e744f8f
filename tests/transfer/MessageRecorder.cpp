#include "tests/transfer/MessageRecorder.h"

#include "app/StatusMessages.h"

namespace {

constexpr UINT kEndOfRecording = WM_APP + 0x3FF;
constexpr DWORD kFinishTimeoutMs = 20000;

} // namespace

MessageRecorder::~MessageRecorder() {
    if (thread && !finished)
        Finish();
}

bool MessageRecorder::Start() {
    ready.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!ready)
        return false;
    thread.reset(::CreateThread(nullptr, 0, &MessageRecorder::Run, this, 0, &threadId));
    if (!thread)
        return false;
    const HANDLE waits[] = {ready.get(), thread.get()};
    return ::WaitForMultipleObjects(2, waits, FALSE, kFinishTimeoutMs) == WAIT_OBJECT_0;
}

std::vector<PostedMessage> MessageRecorder::Finish() {
    if (!thread)
        return {};
    ::PostThreadMessageW(threadId, kEndOfRecording, 0, 0);
    finished = ::WaitForSingleObject(thread.get(), kFinishTimeoutMs) == WAIT_OBJECT_0;
    if (!finished)
        return {}; // the thread still owns `messages`
    thread.reset();
    return messages;
}

DWORD WINAPI MessageRecorder::Run(void* self) {
    auto* recorder = static_cast<MessageRecorder*>(self);
    MSG msg;
    // The first message call creates the thread's queue.
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ::SetEvent(recorder->ready.get());
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == kEndOfRecording)
            break;
        recorder->messages.push_back({msg.message, msg.wParam, msg.lParam});
        if (msg.message == UM_BLOCK_COPIED && recorder->stopOnFirstBlock != nullptr)
            *recorder->stopOnFirstBlock = 1;
    }
    return 0;
}
