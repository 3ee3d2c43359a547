// The registry state that outlives a run: HKLM\Software\CVLSetup with one
// subkey per family, and the three status keys under HKLM\Software\Corvane.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace cvl {

// The selector is the DeviceFamily code.
using SetupFamilySelector = std::uint8_t;

// The subkey of CVLSetup for a selector, or null when it has none.
const char16_t *SetupFamilySubkey(SetupFamilySelector selector);

// Reads a value of the family's subkey into `data`. `size` is in: the
// capacity in bytes; out: the bytes stored, the bytes needed (when the
// buffer is too small) or 0. True when the data was stored. Selector 6 and
// codes without a subkey find nothing.
bool ReadSetupValue(Platform &platform, const char16_t *valueName, BYTE *data, DWORD &size,
                    SetupFamilySelector selector);

// Sets a REG_SZ value under the family's subkey, creating the keys.
bool WriteSetupValue(Platform &platform, const char16_t *valueName, std::u16string_view text,
                     SetupFamilySelector selector);

// Deletes the family's subkey, and CVLSetup once no family state is left.
void DeleteSetupFamily(Platform &platform, SetupFamilySelector selector);

enum StatusOperation : int {
    StatusWrite = 1,
    StatusDelete = 2,
};

// The status keys record that an install of their kind completed.
void SetNetworkStatus(Platform &platform, int operation, std::uint32_t osKind,
                      std::u16string_view packageDriverVersion);
void SetUsbFeStatus(Platform &platform, int operation, std::uint32_t osKind,
                    std::u16string_view packageDriverVersion);
void SetUsbGbeStatus(Platform &platform, int operation, std::uint32_t osKind,
                     std::u16string_view packageDriverVersion);

}  // namespace cvl
