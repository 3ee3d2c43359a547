// Reading a registry value into a bounded buffer as text.
#pragma once

#include <cstddef>
#include <string>

#include <vector>

#include "platform/platform.h"
#include "system/scoped_handle.h"

namespace cvl {

// Reads `valueName` into a buffer of `capacityBytes` and gives back the text
// up to its first zero, never past the buffer, whatever the value's type and
// whether or not it was stored with its terminator. False when the value is
// missing, larger than the buffer, or the read fails.
bool ReadRegistryText(Platform &platform, HKEY key, const char16_t *valueName,
                      std::size_t capacityBytes, std::u16string &text);

// A text as REG_SZ data: UTF-16LE with its terminating zero.
std::vector<BYTE> RegistryTextBytes(std::u16string_view text);

// Sets a REG_SZ value with its terminating zero: (length + 1) * 2 bytes.
LSTATUS WriteRegistryText(Platform &platform, HKEY key, const char16_t *valueName,
                          std::u16string_view text);

}  // namespace cvl
