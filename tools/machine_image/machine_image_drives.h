// The drive folders of a machine image: drive_c/ holds the tree of C:, and
// any drive_<letter>/ another drive. A file whose Linux write permission is
// off is read-only on the machine; every other file has the archive
// attribute only. Other attributes are not kept.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "machine_image/machine_image_snapshot.h"

namespace cvl::image {

struct DriveFile {
    std::u16string path;  // "C:\\setup\\cvlsetup.exe"
    std::string contents;
    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
};

struct DriveContents {
    std::vector<std::u16string> directories;  // parents before children
    std::vector<DriveFile> files;
};

// Names that Windows cannot hold (forbidden characters, a trailing dot or
// blank, two names that differ only in case) and anything that is not a
// plain file or folder are errors naming the host path.
bool ReadDriveFolders(const std::filesystem::path &image, DriveContents &contents,
                      std::string &error);

// Writes the folders and files of a snapshot below `image`.
bool WriteDriveFolders(const MachineSnapshot &snapshot, const std::filesystem::path &image,
                       std::string &error);

// "drive_" and one lowercase letter.
bool IsDriveFolderName(std::string_view name);

}  // namespace cvl::image
