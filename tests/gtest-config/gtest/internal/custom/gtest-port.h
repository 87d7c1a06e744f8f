#pragma once
// GoogleTest's own configuration point, found before the one in its sources.
//
// The win32 thread model of our toolchain has no std::mutex or
// std::condition_variable, which GoogleTest's Notification (used only by its
// own thread tests) is built on; it is given here on a Win32 event instead.
// GoogleTest's locks themselves are Win32 critical sections already.
#include "framework/UniqueResource.h"

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    void Notify() { ::SetEvent(event.get()); }
    void WaitForNotification() { ::WaitForSingleObject(event.get(), INFINITE); }

private:
    UniqueHandle event;
};

} // namespace internal
} // namespace testing
