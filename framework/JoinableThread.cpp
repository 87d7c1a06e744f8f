#include "framework/JoinableThread.h"

#include <memory>

namespace {

DWORD WINAPI RunBody(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

} // namespace

JoinableThread::JoinableThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    thread.reset(::CreateThread(nullptr, 0, &RunBody, owned.get(), 0, nullptr));
    if (thread)
        (void)owned.release(); // the thread owns it now
}

JoinableThread& JoinableThread::operator=(JoinableThread&& other) noexcept {
    if (this != &other) {
        Join();
        thread = std::move(other.thread);
    }
    return *this;
}

void JoinableThread::Join() {
    if (!thread)
        return;
    ::WaitForSingleObject(thread.get(), INFINITE);
    thread.reset();
}
