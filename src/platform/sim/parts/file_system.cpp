// The drives, folders and files of the machine, and who holds them.
#include "platform/sim/parts/file_system.h"

namespace cvl::sim {
namespace {

constexpr DWORD kGenericAll = 0x10000000;
constexpr DWORD kGenericExecute = 0x20000000;
constexpr DWORD kFileReadData = 0x1;
constexpr DWORD kFileWriteData = 0x2;
constexpr DWORD kFileAppendData = 0x4;
constexpr DWORD kFileExecute = 0x20;

struct DataAccess {
    bool read;
    bool write;
    bool remove;
};

// Only access to the data and to deletion takes part in sharing checks.
DataAccess DataAccessOf(DWORD access) {
    return {(access &
             (GENERIC_READ | kGenericAll | kGenericExecute | kFileReadData | kFileExecute)) != 0,
            (access & (GENERIC_WRITE | kGenericAll | kFileWriteData | kFileAppendData)) != 0,
            (access & (DELETE | kGenericAll)) != 0};
}

// Each open must allow what the other does, both ways round.
bool SharingConflicts(DWORD accessA, DWORD shareA, DWORD accessB, DWORD shareB) {
    const DataAccess a = DataAccessOf(accessA);
    const DataAccess b = DataAccessOf(accessB);
    return (a.read && !(shareB & FILE_SHARE_READ)) || (a.write && !(shareB & FILE_SHARE_WRITE)) ||
           (a.remove && !(shareB & FILE_SHARE_DELETE)) || (b.read && !(shareA & FILE_SHARE_READ)) ||
           (b.write && !(shareA & FILE_SHARE_WRITE)) || (b.remove && !(shareA & FILE_SHARE_DELETE));
}

// The subfolders of the system folder that 32-bit and 64-bit programs share
// on 64-bit Windows (Windows 7 and later): the file-system redirector leaves
// them alone.
bool SharedBySystemFolders(const std::vector<std::u16string> &below) {
    if (below.empty()) return false;
    const std::u16string first = FoldedName(below[0]);
    for (const std::u16string_view shared :
         {u"catroot", u"catroot2", u"driverstore", u"logfiles", u"spool"})
        if (first == shared) return true;
    return first == u"drivers" && below.size() > 1 && FoldedName(below[1]) == u"etc";
}

void CollectFiles(const FsNode &folder, const std::u16string &prefix,
                  std::map<std::u16string, std::string> &files) {
    for (const auto &[folded, child] : folder.children) {
        const std::u16string path = prefix + u"\\" + child->name;
        if (child->directory) {
            CollectFiles(*child, path, files);
        } else {
            files.emplace(path, (child->sameFile ? *child->sameFile : *child).contents);
        }
    }
}

}  // namespace

DWORD ReportedAttributes(const FsNode &node) {
    if (node.sameFile) return ReportedAttributes(*node.sameFile);
    if (node.linkTarget) return node.attributes | kFileAttributeReparsePoint;
    if (node.directory) return node.attributes | FILE_ATTRIBUTE_DIRECTORY;
    return node.attributes == 0 ? FILE_ATTRIBUTE_NORMAL : node.attributes;
}

void ForgetPendingDelete(FsNode &node) {
    node.deleteOnClose = false;
    node.deletePending = false;
}

std::optional<WinPath> FileSystem::Resolve(std::u16string_view path) const {
    return ResolveWinPath(path, currentDirectory_);
}

WinPath FileSystem::AsProgramSees(WinPath path) const {
    const std::size_t depth = windowsDirectory_.parts.size();
    if (!system_.Wow64() || path.drive != windowsDirectory_.drive || path.parts.size() <= depth)
        return path;
    for (std::size_t index = 0; index < depth; ++index)
        if (FoldedName(path.parts[index]) != FoldedName(windowsDirectory_.parts[index]))
            return path;
    std::u16string &folder = path.parts[depth];
    const std::u16string folded = FoldedName(folder);
    if (folded == u"sysnative") {
        folder = u"system32";
    } else if (folded == u"system32" &&
               !SharedBySystemFolders({path.parts.begin() + depth + 1, path.parts.end()})) {
        folder = u"SysWOW64";
    }
    return path;
}

std::shared_ptr<FsNode> FileSystem::Lookup(const WinPath &path) const {
    const auto drive = drives_.find(path.drive);
    if (drive == drives_.end()) return nullptr;
    std::shared_ptr<FsNode> node = drive->second;
    for (const auto &name : path.parts) {
        if (!node->directory) return nullptr;
        const auto child = node->children.find(FoldedName(name));
        if (child == node->children.end()) return nullptr;
        node = child->second;
    }
    return node;
}

std::shared_ptr<FsNode> FileSystem::MakeDirectories(const WinPath &path) {
    auto &root = drives_[path.drive];
    if (!root) {
        root = std::make_shared<FsNode>();
        root->name = std::u16string{path.drive, u':'};
        root->directory = true;
    }
    std::shared_ptr<FsNode> node = root;
    for (const auto &name : path.parts) {
        auto &child = node->children[FoldedName(name)];
        if (!child) {
            child = std::make_shared<FsNode>();
            child->name = name;
            child->parent = node.get();
            child->directory = true;
        }
        if (!child->directory) return nullptr;
        node = child;
    }
    return node;
}

FileSystem::Place FileSystem::Locate(const char16_t *path) const {
    Place place;
    const auto resolved = path != nullptr ? Resolve(path) : std::nullopt;
    if (!resolved) {
        place.error = ERROR_PATH_NOT_FOUND;
        return place;
    }
    place.path = AsProgramSees(*resolved);
    if (HasInvalidNameCharacter(place.path)) {
        place.error = ERROR_INVALID_NAME;
        return place;
    }
    if (place.path.IsRoot()) {
        place.node = Lookup(place.path);
        if (!place.node) place.error = ERROR_PATH_NOT_FOUND;
        return place;
    }
    return InFolder(std::move(place));
}

FileSystem::Place FileSystem::InFolder(Place place) const {
    place.folder = Lookup(place.path.Parent());
    if (!place.folder || !place.folder->directory) {
        place.folder = nullptr;
        place.error = ERROR_PATH_NOT_FOUND;
        return place;
    }
    const auto child = place.folder->children.find(FoldedName(place.path.parts.back()));
    if (child != place.folder->children.end()) place.node = child->second;
    return place;
}

FileSystem::Place FileSystem::Follow(Place place) const {
    if (place.node && place.node->sameFile) place.node = place.node->sameFile;
    if (!place.node || !place.node->linkTarget) return place;
    Place target;
    target.path = *place.node->linkTarget;
    target = InFolder(std::move(target));
    // Links to links are not followed further.
    if (target.node && target.node->sameFile) target.node = target.node->sameFile;
    return target;
}

DWORD FileSystem::Rename(const Place &source, const Place &target, bool replaceExisting) {
    constexpr DWORD kNotSameDevice = 17;
    if (source.error != ERROR_SUCCESS) return source.error;
    if (!source.node || !source.folder) return ERROR_FILE_NOT_FOUND;
    if (source.node->deletePending) return ERROR_ACCESS_DENIED;
    // Renaming asks for the right to delete the name it takes away.
    if (const DWORD error = SharingCheck(*source.node, DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return error;
    if (target.error != ERROR_SUCCESS) return target.error;
    if (!target.folder) return ERROR_ACCESS_DENIED;
    if (source.path.drive != target.path.drive) return kNotSameDevice;
    const std::u16string sourceName = FoldedName(source.path.parts.back());
    const std::u16string targetName = FoldedName(target.path.parts.back());
    const bool sameEntry = source.folder == target.folder && sourceName == targetName;
    if (target.node && !sameEntry) {
        if (!replaceExisting) return ERROR_ALREADY_EXISTS;
        const FsNode &replaced = target.node->sameFile ? *target.node->sameFile : *target.node;
        // Only the name goes: a link's target and a second name's file stay
        // as they are. A file still open or running cannot lose its name.
        if (target.node->directory || (target.node->attributes & FILE_ATTRIBUTE_READONLY) ||
            target.node->deletePending ||
            (!target.node->linkTarget &&
             (OpenFileHandles(replaced) > 0 || replaced.runningImages > 0)))
            return ERROR_ACCESS_DENIED;
        target.folder->children.erase(targetName);
        if (target.node->parent == target.folder.get()) target.node->parent = nullptr;
    }
    std::shared_ptr<FsNode> moved = source.node;
    source.folder->children.erase(sourceName);
    moved->name = target.path.parts.back();
    moved->parent = target.folder.get();
    target.folder->children[targetName] = moved;
    // A file open for writing is now written under its new name.
    bool openForWriting = false;
    handles_.ForEach<FileObject>([&](const FileObject &file) {
        if (file.node == moved && (file.access & GENERIC_WRITE)) openForWriting = true;
    });
    if (openForWriting) RecordOpenForWriting(target.path.Text());
    return ERROR_SUCCESS;
}

std::shared_ptr<FsNode> FileSystem::CreateFileNode(FsNode &folder, const std::u16string &name) {
    auto node = std::make_shared<FsNode>();
    node->name = name;
    node->parent = &folder;
    folder.children[FoldedName(name)] = node;
    return node;
}

std::size_t FileSystem::OpenFileHandles(const FsNode &node) const {
    std::size_t count = 0;
    handles_.ForEach<FileObject>([&](const FileObject &file) {
        if (file.node.get() == &node) ++count;
    });
    return count;
}

DWORD FileSystem::SharingCheck(const FsNode &node, DWORD access, DWORD share) const {
    bool conflicts = false;
    handles_.ForEach<FileObject>([&](const FileObject &file) {
        if (file.node.get() == &node && SharingConflicts(access, share, file.access, file.share))
            conflicts = true;
    });
    if (conflicts) return ERROR_SHARING_VIOLATION;
    if (node.runningImages > 0 && SharingConflicts(access, share, kImageAccess, kImageShare))
        return ERROR_SHARING_VIOLATION;
    return ERROR_SUCCESS;
}

void FileSystem::Unlink(FsNode &node) {
    if (node.parent == nullptr) return;
    const auto found = node.parent->children.find(FoldedName(node.name));
    if (found != node.parent->children.end() && found->second.get() == &node)
        node.parent->children.erase(found);
    node.parent = nullptr;
}

void FileSystem::Closed(const HandleObject &object) {
    if (const auto *file = std::get_if<FileObject>(&object)) RemoveIfReleased(file->node);
}

void FileSystem::RemoveIfReleased(const std::shared_ptr<FsNode> &node) {
    if (!node || !(node->deleteOnClose || node->deletePending)) return;
    if (powerLost_) {
        ForgetPendingDelete(*node);
        return;
    }
    if (OpenFileHandles(*node) > 0 || node->runningImages > 0) return;
    Unlink(*node);
}

DWORD FileSystem::CopyNode(const Place &source, const Place &target, bool failIfExists) {
    if (source.error != ERROR_SUCCESS) return source.error;
    if (!source.node) return ERROR_FILE_NOT_FOUND;
    if (source.node->directory || source.node->deletePending) return ERROR_ACCESS_DENIED;
    if (const DWORD error =
            SharingCheck(*source.node, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE))
        return error;
    if (target.error != ERROR_SUCCESS) return target.error;
    if (!target.folder) return ERROR_ACCESS_DENIED;
    std::shared_ptr<FsNode> node = target.node;
    if (node) {
        if (failIfExists) return ERROR_FILE_EXISTS;
        if (node->directory || node->deletePending || (node->attributes & FILE_ATTRIBUTE_READONLY))
            return ERROR_ACCESS_DENIED;
        if (node == source.node) return ERROR_SHARING_VIOLATION;
        if (const DWORD error = SharingCheck(*node, GENERIC_WRITE, 0)) return error;
    } else {
        node = CreateFileNode(*target.folder, target.path.parts.back());
    }
    // The copy takes the source's contents and attributes.
    node->contents = source.node->contents;
    node->attributes = source.node->attributes;
    return ERROR_SUCCESS;
}

FileSystem::FileSystem(const HandleTable &handles, const SystemState &system)
    : handles_(handles), system_(system) {
    windowsDirectory_ = *ResolveWinPath(u"C:\\Windows", WinPath{});
    tempDirectory_ = *ResolveWinPath(u"C:\\Users\\user\\AppData\\Local\\Temp", WinPath{});
    currentDirectory_ = *ResolveWinPath(u"C:\\setup", WinPath{});
    MakeDirectories(windowsDirectory_.Child(u"system32"));
    MakeDirectories(windowsDirectory_.Child(u"INF"));
    MakeDirectories(tempDirectory_);
    MakeDirectories(currentDirectory_);
}

void FileSystem::SetCurrentDirectory(std::u16string_view path) {
    const auto resolved = Resolve(path);
    if (resolved && MakeDirectories(*resolved)) currentDirectory_ = *resolved;
}

void FileSystem::SetWindowsDirectory(std::u16string_view path) {
    const auto resolved = Resolve(path);
    if (!resolved || !MakeDirectories(resolved->Child(u"system32"))) return;
    MakeDirectories(resolved->Child(u"INF"));
    windowsDirectory_ = *resolved;
}

void FileSystem::SetTempDirectory(std::u16string_view path) {
    const auto resolved = Resolve(path);
    if (resolved && MakeDirectories(*resolved)) tempDirectory_ = *resolved;
}

void FileSystem::RecordOpenForWriting(std::u16string path) {
    openedForWriting_.push_back(std::move(path));
}

bool FileSystem::AddFile(std::u16string_view path, std::string contents, DWORD attributes) {
    const auto resolved = Resolve(path);
    if (!resolved || resolved->IsRoot()) return false;
    const auto folder = MakeDirectories(resolved->Parent());
    if (!folder) return false;
    auto &node = folder->children[FoldedName(resolved->parts.back())];
    if (node && node->directory) return false;
    if (!node) node = CreateFileNode(*folder, resolved->parts.back());
    node->contents = std::move(contents);
    node->attributes = attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
    return true;
}

bool FileSystem::AddSymbolicLink(std::u16string_view path, std::u16string_view target) {
    const auto resolved = Resolve(path);
    const auto leadsTo = Resolve(target);
    if (!resolved || resolved->IsRoot() || !leadsTo || leadsTo->IsRoot()) return false;
    const auto folder = MakeDirectories(resolved->Parent());
    if (!folder || folder->children.count(FoldedName(resolved->parts.back())) > 0) return false;
    CreateFileNode(*folder, resolved->parts.back())->linkTarget = *leadsTo;
    return true;
}

bool FileSystem::AddSecondName(std::u16string_view path, std::u16string_view existing) {
    const auto resolved = Resolve(path);
    const auto original = Resolve(existing);
    const auto file = original ? Lookup(*original) : nullptr;
    if (!resolved || resolved->IsRoot() || !file || file->directory || file->linkTarget)
        return false;
    const auto folder = MakeDirectories(resolved->Parent());
    if (!folder || folder->children.count(FoldedName(resolved->parts.back())) > 0) return false;
    CreateFileNode(*folder, resolved->parts.back())->sameFile =
        file->sameFile ? file->sameFile : file;
    return true;
}

bool FileSystem::AddDirectorySpelledAs(std::u16string_view path) {
    const auto resolved = Resolve(path);
    if (!resolved || MakeDirectories(*resolved) == nullptr) return false;
    FsNode *node = drives_[resolved->drive].get();
    for (const std::u16string &name : resolved->parts) {
        node = node->children[FoldedName(name)].get();
        node->name = name;
    }
    return true;
}

std::u16string FileSystem::TempPathText() const {
    std::u16string text = tempDirectory_.Text();
    if (text.back() != u'\\') text += u'\\';
    return text;
}

std::optional<std::string> FileSystem::Contents(std::u16string_view path,
                                                bool asProgramSees) const {
    auto resolved = Resolve(path);
    if (resolved && asProgramSees) resolved = AsProgramSees(*resolved);
    const auto node = resolved ? Lookup(*resolved) : nullptr;
    if (!node || node->directory) return std::nullopt;
    return (node->sameFile ? *node->sameFile : *node).contents;
}

std::map<std::u16string, std::string> FileSystem::AllFiles() const {
    std::map<std::u16string, std::string> files;
    for (const auto &[letter, root] : drives_) CollectFiles(*root, root->name, files);
    return files;
}

}  // namespace cvl::sim
