#pragma once
// A thread that runs one function and is waited for when its owner goes, for
// the emulator and the tests, where a thread must not outlive what it uses.
#include "framework/UniqueResource.h"

#include <functional>

class JoinableThread {
public:
    JoinableThread() = default;
    // Starts `body` on a new thread; Joinable() tells whether it started.
    explicit JoinableThread(std::function<void()> body);
    ~JoinableThread() { Join(); }
    JoinableThread(JoinableThread&& other) noexcept = default;
    JoinableThread& operator=(JoinableThread&& other) noexcept;
    JoinableThread(const JoinableThread&) = delete;
    JoinableThread& operator=(const JoinableThread&) = delete;

    bool Joinable() const { return thread.valid(); }
    HANDLE Handle() const { return thread.get(); }
    // Waits for the function to return.
    void Join();
    // Lets the thread run on by itself.
    void Detach() { thread.reset(); }

private:
    UniqueHandle thread;
};
