// Deleting the files the plug-and-play manager leaves behind: OEM INF
// copies with their PNF twins, the maker's DLLs and a driver file.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/family_code.h"
#include "common/os_kind.h"
#include "platform/platform.h"

namespace cvl {

// Deletes every INF of `directory` (ending in a backslash) that names the
// maker's first model of `family` (FamilyPci or FamilyPcie) and whose first
// [Strings] value does not name Microsoft, with its PNF.
void DeleteMakerInfFiles(Platform &platform, std::u16string_view directory, DeviceFamily family);

// DeleteMakerInfFiles for "\INF\", "\INF\OTHER\" and "\INF\INTERNET\" of the
// Windows directory.
void DeleteMakerInfFilesInAllInfDirs(Platform &platform, DeviceFamily family);

// Deletes "<windows>\INF\<name>" and its PNF. Only a bare file name is
// accepted; anything else is refused and nothing is deleted.
void DeleteInfAndPnf(Platform &platform, std::u16string_view infName);

// Whether an installed adapter's INF may be deleted. On the NT 5 and NT 6
// generations Windows publishes every third-party INF as oemNN.inf, so only
// such names may go; on the older kinds an INF whose first [Strings] value
// names Microsoft (or cannot be read) is the system's and stays.
bool MayDeleteAdapterInf(Platform &platform, OsKind osKind, std::u16string_view infName);

// Deletes "<windows>\INF\<base>.inf" and ".pnf" and the driver file named
// by a service image path, each only when it is what it should be (see
// ResolveDriverFilePath).
void DeleteDriverPackageFiles(Platform &platform, OsKind osKind, std::u16string_view infBaseName,
                              std::u16string_view imagePath);

// "CVNUninst32.dll" and "CVNUninst64.dll" of the system directory.
void DeleteUninstallDlls(Platform &platform);
// "CvNicProp32.dll" and "CvNicProp64.dll" of the system directory.
void DeletePropertyPageDlls(Platform &platform);

}  // namespace cvl
