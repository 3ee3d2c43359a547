// Reading a registry value into a bounded buffer as text.
#pragma once

#include <cstddef>
#include <string>

#include "platform/platform.h"

namespace cvl {

// Reads `valueName` into a buffer of `capacityBytes` and gives back the text
// up to its first zero, never past the buffer, whatever the value's type and
// whether or not it was stored with its terminator. False when the value is
// missing, larger than the buffer, or the read fails.
bool ReadRegistryText(Platform &platform, HKEY key, const char16_t *valueName,
                      std::size_t capacityBytes, std::u16string &text);

// Sets a REG_SZ value with its terminating zero: (length + 1) * 2 bytes.
LSTATUS WriteRegistryText(Platform &platform, HKEY key, const char16_t *valueName,
                          std::u16string_view text);

// Closes a key on every path out of a scope.
class ScopedKey {
public:
    explicit ScopedKey(Platform &platform) : platform_(platform) {}
    ~ScopedKey() { Reset(); }
    ScopedKey(const ScopedKey &) = delete;
    ScopedKey &operator=(const ScopedKey &) = delete;

    HKEY *Receive() {
        Reset();
        return &key_;
    }
    HKEY Get() const { return key_; }
    bool IsOpen() const {
        return key_ != nullptr && key_ != reinterpret_cast<HKEY>(InvalidHandleValue());
    }
    void Adopt(HKEY key) {
        Reset();
        key_ = key;
    }
    void Reset() {
        if (IsOpen()) platform_.RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    Platform &platform_;
    HKEY key_ = nullptr;
};

}  // namespace cvl
