// What every file of the real platform layer needs to cross from our types
// to the Win32 ones. Our headers come first: they name Win32 constants as
// real constants, and the macros of <windows.h> must not reach them. After
// this header only the <windows.h> spellings of constants may be used.
#pragma once

#include <cstring>
#include <cwchar>
#include <type_traits>

#include "platform/win_types.h"

// clang-format off
#include <windows.h>

#include <cfgmgr32.h>
#include <newdev.h>
#include <setupapi.h>
#include <winsvc.h>
// clang-format on

namespace cvl::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows texts are UTF-16 code units");

// Reinterprets a pointer between two types that Windows and we lay out the
// same way (fixed-width integers against their Win32 typedefs, GUID, the
// version record). The layout is checked here so that a mismatch breaks the
// build instead of the caller's memory.
template <typename Real, typename Ours>
Real *SameLayout(Ours *ours) {
    using Plain = std::remove_cv_t<Ours>;
    using RealPlain = std::remove_cv_t<Real>;
    static_assert(sizeof(Plain) == sizeof(RealPlain), "different size");
    // 32-bit SetupAPI packs its records to one byte; ours may be stricter.
    static_assert(alignof(Plain) >= alignof(RealPlain), "less aligned than the real type");
    return reinterpret_cast<Real *>(ours);
}

inline const wchar_t *Wide(const char16_t *text) {
    return reinterpret_cast<const wchar_t *>(text);
}
inline wchar_t *Wide(char16_t *text) {
    return reinterpret_cast<wchar_t *>(text);
}

inline ::HKEY Real(cvl::win::HKEY key) {
    return reinterpret_cast<::HKEY>(key);
}
inline cvl::win::HKEY Ours(::HKEY key) {
    return reinterpret_cast<cvl::win::HKEY>(key);
}
inline ::SC_HANDLE Real(cvl::win::SC_HANDLE handle) {
    return reinterpret_cast<::SC_HANDLE>(handle);
}
inline cvl::win::SC_HANDLE Ours(::SC_HANDLE handle) {
    return reinterpret_cast<cvl::win::SC_HANDLE>(handle);
}

// SP_DEVINFO_DATA carries its own size, which our record leaves out. The
// adapter fills the size for the call and hands the result back, and it
// makes no call of its own, so the last error stays the API's.
class DevInfoArg {
public:
    explicit DevInfoArg(const cvl::win::DevInfoData *data) : present_(data != nullptr) {
        real_.cbSize = sizeof(SP_DEVINFO_DATA);
        if (!present_) return;
        std::memcpy(&real_.ClassGuid, &data->ClassGuid, sizeof(real_.ClassGuid));
        real_.DevInst = data->DevInst;
        real_.Reserved = data->Reserved;
    }
    PSP_DEVINFO_DATA get() { return present_ ? &real_ : nullptr; }

private:
    bool present_;
    SP_DEVINFO_DATA real_{};
};

inline void CopyDevInfo(const SP_DEVINFO_DATA &real, cvl::win::DevInfoData &ours) {
    std::memcpy(&ours.ClassGuid, &real.ClassGuid, sizeof(ours.ClassGuid));
    ours.DevInst = real.DevInst;
    ours.Reserved = real.Reserved;
}

// Copies a zero-terminated wide text into a fixed slot, cut to fit.
template <std::size_t N>
void CopyIntoSlot(const wchar_t *text, char16_t (&slot)[N]) {
    std::size_t length = text ? std::wcslen(text) : 0;
    if (length > N - 1) length = N - 1;
    if (length) std::memcpy(slot, text, length * sizeof(char16_t));
    slot[length] = 0;
}

}  // namespace cvl::win32
