// Releases a platform handle on every path out of a scope.
#pragma once

#include "platform/platform.h"

namespace cvl {

// `Release` is the Platform call that gives the handle back
// (RegCloseKey, SetupDiDestroyDeviceInfoList, SetupCloseInfFile, LocalFree).
// Null and INVALID_HANDLE_VALUE both mean "nothing held".
template <typename Handle, auto Release>
class ScopedHandle {
public:
    explicit ScopedHandle(Platform &platform, Handle handle = nullptr)
        : platform_(platform), handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle &) = delete;
    ScopedHandle &operator=(const ScopedHandle &) = delete;

    bool IsOpen() const {
        return handle_ != nullptr && static_cast<void *>(handle_) != InvalidHandleValue();
    }
    Handle Get() const { return handle_; }
    // Where a call that opens a handle stores it; what was held is released.
    Handle *Receive() {
        Reset();
        return &handle_;
    }
    void Adopt(Handle handle) {
        Reset();
        handle_ = handle;
    }
    void Reset() {
        if (IsOpen()) (platform_.*Release)(handle_);
        handle_ = nullptr;
    }

private:
    Platform &platform_;
    Handle handle_;
};

using ScopedKey = ScopedHandle<HKEY, &Platform::RegCloseKey>;
using ScopedDeviceList = ScopedHandle<HDEVINFO, &Platform::SetupDiDestroyDeviceInfoList>;
using ScopedInf = ScopedHandle<HINF, &Platform::SetupCloseInfFile>;
using ScopedLocal = ScopedHandle<HLOCAL, &Platform::LocalFree>;

}  // namespace cvl
