// GoogleTest's Notification is built on std::mutex, which MinGW's win32 thread
// model lacks. GoogleTest uses it only in its own thread tests; this stand-in
// lets the library build there.
#pragma once
#if defined(__cplusplus) && defined(__MINGW32__)
#include <atomic>  // also tells whether the library has threads
#if !defined(_GLIBCXX_HAS_GTHREADS)
#define GTEST_HAS_NOTIFICATION_ 1
namespace testing {
namespace internal {
class Notification {
public:
    Notification() : notified_(false) {}
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_.store(true); }
    void WaitForNotification()
    {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_;
};
}  // namespace internal
}  // namespace testing
#endif
#endif
