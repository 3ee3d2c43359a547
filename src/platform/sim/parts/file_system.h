// The file system: drive letters with their folder trees, the Windows,
// temporary and current folders, who holds a file open, and the sharing and
// deletion rules that follow from it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/parts/handle_table.h"
#include "platform/sim/parts/paths.h"
#include "platform/sim/parts/system_state.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

struct FsNode {
    std::u16string name;
    FsNode *parent = nullptr;
    bool directory = false;
    DWORD attributes = 0;  // without FILE_ATTRIBUTE_DIRECTORY, which `directory` says
    std::string contents;
    // By folded name, so a listing comes out in the order NTFS gives it.
    std::map<std::u16string, std::shared_ptr<FsNode>> children;
    bool deleteOnClose = false;
    bool deletePending = false;
    // Processes running from this file, which the loader keeps mapped: they
    // hold it as an open with kImageAccess and kImageShare would.
    std::uint32_t runningImages = 0;
    // A symbolic link: the file it leads to, which may not exist.
    std::optional<WinPath> linkTarget;
    // A second name (a hard link): the file it denotes, whose data, sharing
    // and attributes every open through this name reaches.
    std::shared_ptr<FsNode> sameFile;
};

inline constexpr DWORD kFileAttributeReparsePoint = 0x400;

// The sharing of a running image, as the loader maps it.
inline constexpr DWORD kImageAccess = GENERIC_READ;
inline constexpr DWORD kImageShare = FILE_SHARE_READ | FILE_SHARE_DELETE;

// The attributes Windows reports for a node.
DWORD ReportedAttributes(const FsNode &node);

// A delete-on-close open or a pending delete lives in the handle, which a
// power loss takes with it: the file stays.
void ForgetPendingDelete(FsNode &node);

class FileSystem {
public:
    // A fresh machine's folders: C:\Windows with system32 and INF, the
    // user's temporary folder, and C:\setup as the current folder. The
    // system state says whether the program runs under WOW64.
    FileSystem(const HandleTable &handles, const SystemState &system);

    const WinPath &WindowsDirectory() const { return windowsDirectory_; }
    const WinPath &TempDirectory() const { return tempDirectory_; }
    const WinPath &CurrentDirectory() const { return currentDirectory_; }
    // The temporary folder as GetTempPathW gives it, with its backslash.
    std::u16string TempPathText() const;
    // Each folder is made when missing; nothing changes for a path that
    // cannot be one.
    void SetWindowsDirectory(std::u16string_view path);
    void SetTempDirectory(std::u16string_view path);
    void SetCurrentDirectory(std::u16string_view path);

    std::optional<WinPath> Resolve(std::u16string_view path) const;
    // The path a file call of the running program reaches: on a WOW64
    // machine the system folder leads to SysWOW64, and the "Sysnative"
    // alias, which only such a program sees, to the real system folder.
    WinPath AsProgramSees(WinPath path) const;
    std::shared_ptr<FsNode> Lookup(const WinPath &path) const;
    std::shared_ptr<FsNode> MakeDirectories(const WinPath &path);
    // Where a path leads: the folder that holds it and the node, if any;
    // `error` is ERROR_PATH_NOT_FOUND when the folder is missing.
    struct Place {
        DWORD error = ERROR_SUCCESS;
        WinPath path;
        std::shared_ptr<FsNode> folder;
        std::shared_ptr<FsNode> node;
    };
    Place Locate(const char16_t *path) const;
    // Where an open that follows links reaches from `place`: a symbolic
    // link leads to its target's place (the file may be missing there), a
    // second name to the file it denotes.
    Place Follow(Place place) const;
    // Gives a file at `place` the name `target`, as a rename does: the name
    // stops denoting what it did, and that is not written.
    DWORD Rename(const Place &source, const Place &target, bool replaceExisting);
    std::shared_ptr<FsNode> CreateFileNode(FsNode &folder, const std::u16string &name);
    // ERROR_SUCCESS when an open with this access and sharing fits every
    // open handle and running image of the node.
    DWORD SharingCheck(const FsNode &node, DWORD access, DWORD share) const;
    // Removes a file marked for deletion once nothing holds it any more.
    void RemoveIfReleased(const std::shared_ptr<FsNode> &node);
    // Once the power is lost, a release forgets the delete instead.
    void SetPowerLost(bool lost) { powerLost_ = lost; }
    // What closing a handle does to the files: a file marked for deletion
    // goes with the last handle on it.
    void Closed(const HandleObject &object);
    void Unlink(FsNode &node);
    DWORD CopyNode(const Place &source, const Place &target, bool failIfExists);

    // The full path of every open for writing, as the caller spelled it,
    // and the new path of a file renamed while open for writing.
    void RecordOpenForWriting(std::u16string path);
    const std::vector<std::u16string> &OpenedForWriting() const { return openedForWriting_; }

    // Seeding from outside: parents are made as needed; false when the path
    // is not an absolute one or a directory stands in the way.
    bool AddFile(std::u16string_view path, std::string contents, DWORD attributes);
    // A symbolic link at `path` to `target`, and a second name at `path`
    // for the file `existing`; false when the name is taken or cannot be
    // one, or `existing` is no file.
    bool AddSymbolicLink(std::u16string_view path, std::u16string_view target);
    bool AddSecondName(std::u16string_view path, std::u16string_view existing);
    // Makes the folders of `path` and gives those that were there already
    // the spelling `path` has.
    bool AddDirectorySpelledAs(std::u16string_view path);
    // What a file holds; nothing for a folder or a missing file. With
    // `asProgramSees`, the file the running program reaches at `path`.
    std::optional<std::string> Contents(std::u16string_view path, bool asProgramSees = false) const;
    // Every file, as full paths with their contents, in a stable order.
    std::map<std::u16string, std::string> AllFiles() const;

private:
    // The folder of `place.path` and the node under its last name.
    Place InFolder(Place place) const;
    std::size_t OpenFileHandles(const FsNode &node) const;

    const HandleTable &handles_;
    const SystemState &system_;
    bool powerLost_ = false;
    std::map<char16_t, std::shared_ptr<FsNode>> drives_;  // by upper-case letter
    WinPath windowsDirectory_;
    WinPath tempDirectory_;
    WinPath currentDirectory_;
    std::vector<std::u16string> openedForWriting_;
};

}  // namespace cvl::sim
