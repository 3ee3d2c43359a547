// Releases a platform handle on every path out of a scope.
#pragma once

#include "platform/platform.h"

namespace cvl {

// `Release` is the Platform call that gives the handle back
// (SetupDiDestroyDeviceInfoList, SetupCloseInfFile, FindClose, ...).
template <typename Handle, auto Release>
class ScopedHandle {
public:
    ScopedHandle(Platform &platform, Handle handle) : platform_(platform), handle_(handle) {}
    ~ScopedHandle() {
        if (IsOpen()) (platform_.*Release)(handle_);
    }
    ScopedHandle(const ScopedHandle &) = delete;
    ScopedHandle &operator=(const ScopedHandle &) = delete;

    bool IsOpen() const { return handle_ != nullptr && handle_ != InvalidHandleValue(); }
    Handle Get() const { return handle_; }

private:
    Platform &platform_;
    Handle handle_;
};

using ScopedDeviceList = ScopedHandle<HDEVINFO, &Platform::SetupDiDestroyDeviceInfoList>;
using ScopedInf = ScopedHandle<HINF, &Platform::SetupCloseInfFile>;

}  // namespace cvl
