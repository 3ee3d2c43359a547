// GoogleTest's hook for a port, found before its own empty one when the
// contract test program is built for Windows. The toolchain's win32 thread
// model has no std::mutex, which GoogleTest's Notification needs; the
// contract cases start no threads, so a flag does.
#pragma once

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    void Notify() { notified_ = true; }
    void WaitForNotification() {
        while (!notified_) {
        }
    }

private:
    volatile bool notified_ = false;
};

}  // namespace testing::internal
