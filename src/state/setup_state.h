// The registry state that outlives a run: HKLM\Software\CVLSetup with one
// subkey per family, and the three status keys under HKLM\Software\Corvane.
#pragma once

#include <string_view>

#include "common/family_code.h"
#include "common/os_kind.h"
#include "platform/platform.h"

namespace cvl {

// The subkey of CVLSetup for a family, or null when it has none.
const char16_t *SetupFamilySubkey(DeviceFamily family);

// Reads a value of the family's subkey into `data`. `size` is in: the
// capacity in bytes; out: the bytes stored, the bytes needed (when the
// buffer is too small) or 0. True when the data was stored. The virtual
// device's subkey is never read, and codes without a subkey find nothing.
bool ReadSetupValue(Platform &platform, const char16_t *valueName, BYTE *data, DWORD &size,
                    DeviceFamily family);

// Sets a REG_SZ value under the family's subkey, creating the keys.
bool WriteSetupValue(Platform &platform, const char16_t *valueName, std::u16string_view text,
                     DeviceFamily family);

// Deletes the family's subkey, and CVLSetup once no family state is left.
void DeleteSetupFamily(Platform &platform, DeviceFamily family);

enum StatusOperation : int {
    StatusWrite = 1,
    StatusDelete = 2,
};

// Writes or deletes the family's status key, which records that an install
// of its kind completed; a family without one is left alone.
void SetFamilyStatus(Platform &platform, DeviceFamily family, StatusOperation operation,
                     OsKind osKind, std::u16string_view packageDriverVersion);

}  // namespace cvl
