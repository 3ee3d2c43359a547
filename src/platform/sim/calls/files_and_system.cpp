// The file and directory calls.
#include <algorithm>

#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x1000;
constexpr DWORD FILE_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x2000;
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The directory-text protocol: the length without the terminator when the
// text fits, else the size needed with it, the buffer untouched.
DWORD CopyOut(std::u16string_view text, char16_t *buffer, DWORD size) {
    if (buffer == nullptr || text.size() >= size) return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return static_cast<DWORD>(text.size());
}

// A file that CreateFileW makes gets the archive bit besides what it asks.
DWORD NewFileAttributes(DWORD flagsAndAttributes) {
    return (flagsAndAttributes & kSettableAttributes) | FILE_ATTRIBUTE_ARCHIVE;
}

bool ValidDisposition(DWORD disposition) {
    return disposition >= CREATE_NEW && disposition <= TRUNCATE_EXISTING;
}

FindData FindDataOf(const FsNode &node, std::u16string_view name) {
    FindData data{};
    data.dwFileAttributes = ReportedAttributes(node);
    data.nFileSize = node.contents.size();
    const std::size_t length = std::min<std::size_t>(name.size(), 259);
    std::copy_n(name.begin(), length, data.cFileName);
    return data;
}

}  // namespace

DWORD SimulatedPlatform::DoGetModuleFileNameW(char16_t *buffer, DWORD size) {
    Machine &m = *machine_;
    const std::u16string &path = m.processes.Current().imagePath;
    if (size == 0 || buffer == nullptr) return m.Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    if (path.size() < size) return CopyOut(path, buffer, size);
    // Too small: cut and terminated, and the size of the buffer comes back.
    std::copy_n(path.begin(), size - 1, buffer);
    buffer[size - 1] = u'\0';
    m.lastError = ERROR_INSUFFICIENT_BUFFER;
    return size;
}

DWORD SimulatedPlatform::DoGetTempPathW(DWORD size, char16_t *buffer) {
    Machine &m = *machine_;
    return CopyOut(m.files.TempPathText(), buffer, size);
}

UINT SimulatedPlatform::DoGetWindowsDirectoryW(char16_t *buffer, UINT size) {
    Machine &m = *machine_;
    return CopyOut(m.files.WindowsDirectory().Text(), buffer, size);
}

UINT SimulatedPlatform::DoGetSystemDirectoryW(char16_t *buffer, UINT size) {
    Machine &m = *machine_;
    return CopyOut(m.files.WindowsDirectory().Child(u"system32").Text(), buffer, size);
}

DWORD SimulatedPlatform::DoGetCurrentDirectoryW(DWORD size, char16_t *buffer) {
    Machine &m = *machine_;
    return CopyOut(m.files.CurrentDirectory().Text(), buffer, size);
}

BOOL SimulatedPlatform::DoCopyFileW(const char16_t *existing, const char16_t *target,
                                    BOOL failIfExists) {
    Machine &m = *machine_;
    FileSystem::Place source = m.files.Locate(existing);
    if (source.error == ERROR_SUCCESS) source = m.files.Follow(source);
    // A name already in use refuses a copy that may not replace, whatever
    // it is; a copy that may replace writes through links.
    FileSystem::Place copy = m.files.Locate(target);
    if (copy.error == ERROR_SUCCESS && !(failIfExists && copy.node)) copy = m.files.Follow(copy);
    const DWORD error = m.files.CopyNode(source, copy, failIfExists != FALSE);
    if (error != ERROR_SUCCESS) return m.FailWith(error);
    return TRUE;
}

BOOL SimulatedPlatform::DoMoveFileExW(const char16_t *existing, const char16_t *target,
                                      DWORD flags) {
    Machine &m = *machine_;
    const DWORD error = m.files.Rename(m.files.Locate(existing), m.files.Locate(target),
                                       (flags & MOVEFILE_REPLACE_EXISTING) != 0);
    if (error != ERROR_SUCCESS) return m.FailWith(error);
    return TRUE;
}

HANDLE SimulatedPlatform::DoCreateFileW(const char16_t *path, DWORD access, DWORD shareMode,
                                        DWORD creationDisposition, DWORD flagsAndAttributes) {
    Machine &m = *machine_;
    const auto fail = [&m](DWORD error) { return m.Fail(error, InvalidHandleValue()); };
    if (!ValidDisposition(creationDisposition)) return fail(ERROR_INVALID_PARAMETER);
    FileSystem::Place place = m.files.Locate(path);
    if (place.error != ERROR_SUCCESS) return fail(place.error);
    // Links are followed, also to a file that is not there yet, unless the
    // caller asks for the link itself.
    if (!(flagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT)) place = m.files.Follow(place);
    if (place.error != ERROR_SUCCESS) return fail(place.error);
    const bool deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    // Delete-on-close needs the right to delete, and asks for it.
    const DWORD grantedAccess = access | (deleteOnClose ? DELETE : 0);
    std::shared_ptr<FsNode> node = place.node;
    const bool existed = node != nullptr;
    if (node) {
        if (creationDisposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
        if (node->directory || node->deletePending) return fail(ERROR_ACCESS_DENIED);
        const bool writes = (grantedAccess & (GENERIC_WRITE | DELETE)) != 0 ||
                            creationDisposition == CREATE_ALWAYS ||
                            creationDisposition == TRUNCATE_EXISTING;
        if ((node->attributes & FILE_ATTRIBUTE_READONLY) && writes)
            return fail(ERROR_ACCESS_DENIED);
        // Replacing a hidden or system file must keep that attribute.
        const DWORD kept = node->attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (creationDisposition == CREATE_ALWAYS && (flagsAndAttributes & kept) != kept)
            return fail(ERROR_ACCESS_DENIED);
        if (const DWORD error = m.files.SharingCheck(*node, grantedAccess, shareMode))
            return fail(error);
        if (creationDisposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
            return fail(ERROR_INVALID_PARAMETER);
        if (creationDisposition == CREATE_ALWAYS) {
            node->contents.clear();
            node->attributes = NewFileAttributes(flagsAndAttributes);
        } else if (creationDisposition == TRUNCATE_EXISTING) {
            node->contents.clear();
        }
    } else {
        if (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING)
            return fail(ERROR_FILE_NOT_FOUND);
        if (!place.folder) return fail(ERROR_ACCESS_DENIED);
        node = m.files.CreateFileNode(*place.folder, place.path.parts.back());
        node->attributes = NewFileAttributes(flagsAndAttributes);
    }
    if (deleteOnClose) node->deleteOnClose = true;
    HANDLE handle = m.handles.Add(FileObject{node, grantedAccess, shareMode, 0});
    if (grantedAccess & GENERIC_WRITE) m.files.RecordOpenForWriting(place.path.Text());
    const bool reportsExisting =
        existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    m.lastError = reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return handle;
}

BOOL SimulatedPlatform::DoWriteFile(HANDLE file, const void *data, DWORD size, DWORD *written) {
    Machine &m = *machine_;
    if (written != nullptr) *written = 0;
    FileObject *object = m.handles.As<FileObject>(file);
    if (object == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (!(object->access & GENERIC_WRITE)) return m.FailWith(ERROR_ACCESS_DENIED);
    if (data == nullptr && size > 0) return m.FailWith(ERROR_INVALID_PARAMETER);
    std::string &contents = object->node->contents;
    if (contents.size() < object->position + size) contents.resize(object->position + size);
    if (size > 0)
        std::copy_n(static_cast<const char *>(data), size, contents.begin() + object->position);
    object->position += size;
    if (written != nullptr) *written = size;
    return TRUE;
}

BOOL SimulatedPlatform::DoDeleteFileW(const char16_t *path) {
    Machine &m = *machine_;
    const FileSystem::Place place = m.files.Locate(path);
    if (place.error != ERROR_SUCCESS) return m.FailWith(place.error);
    const std::shared_ptr<FsNode> &node = place.node;
    if (!node) return m.FailWith(ERROR_FILE_NOT_FOUND);
    // Folders, read-only files, files already going and running images
    // cannot be deleted.
    if (node->directory || node->deletePending || (node->attributes & FILE_ATTRIBUTE_READONLY) ||
        node->runningImages > 0)
        return m.FailWith(ERROR_ACCESS_DENIED);
    if (const DWORD error = m.files.SharingCheck(
            *node, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return m.FailWith(error);
    // Handles that allowed the deletion keep the file until they close.
    node->deletePending = true;
    m.files.RemoveIfReleased(node);
    return TRUE;
}

BOOL SimulatedPlatform::DoSetFileAttributesW(const char16_t *path, DWORD attributes) {
    Machine &m = *machine_;
    const FileSystem::Place place = m.files.Locate(path);
    if (place.error != ERROR_SUCCESS) return m.FailWith(place.error);
    if (!place.node) return m.FailWith(ERROR_FILE_NOT_FOUND);
    place.node->attributes = attributes & kSettableAttributes;
    return TRUE;
}

DWORD SimulatedPlatform::DoGetFileAttributesW(const char16_t *path) {
    Machine &m = *machine_;
    const FileSystem::Place place = m.files.Locate(path);
    if (place.error != ERROR_SUCCESS) return m.Fail(place.error, INVALID_FILE_ATTRIBUTES);
    if (!place.node) return m.Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
    return ReportedAttributes(*place.node);
}

HANDLE SimulatedPlatform::DoFindFirstFileW(const char16_t *pattern, FindData *data) {
    Machine &m = *machine_;
    const auto fail = [&m](DWORD error) { return m.Fail(error, InvalidHandleValue()); };
    if (pattern == nullptr || data == nullptr) return fail(ERROR_INVALID_PARAMETER);
    const std::u16string_view text(pattern);
    // The wildcards stand in the last name only; the folder keeps its
    // separator so that "C:\*" means the root and not C:'s current folder.
    const std::size_t cut = text.find_last_of(u"\\/");
    std::u16string_view folderText;
    std::u16string_view namePattern = text;
    if (cut != std::u16string_view::npos) {
        folderText = text.substr(0, cut + 1);
        namePattern = text.substr(cut + 1);
    } else if (text.size() >= 2 && text[1] == u':') {
        folderText = text.substr(0, 2);
        namePattern = text.substr(2);
    }
    if (namePattern.empty()) return fail(ERROR_FILE_NOT_FOUND);
    auto folderPath = folderText.empty() ? std::optional<WinPath>(m.files.CurrentDirectory())
                                         : m.files.Resolve(folderText);
    if (folderPath) folderPath = m.files.AsProgramSees(*folderPath);
    const auto folder = folderPath ? m.files.Lookup(*folderPath) : nullptr;
    if (!folder || !folder->directory) return fail(ERROR_PATH_NOT_FOUND);

    FindObject found;
    if (!folderPath->IsRoot()) {
        for (const std::u16string_view dots : {u".", u".."})
            if (WildcardMatch(namePattern, dots))
                found.entries.push_back(FindDataOf(*folder, dots));
    }
    for (const auto &[folded, child] : folder->children)
        if (WildcardMatch(namePattern, child->name))
            found.entries.push_back(FindDataOf(*child, child->name));
    if (found.entries.empty()) return fail(ERROR_FILE_NOT_FOUND);
    *data = found.entries.front();
    found.next = 1;
    return m.handles.Add(std::move(found));
}

BOOL SimulatedPlatform::DoFindNextFileW(HANDLE find, FindData *data) {
    Machine &m = *machine_;
    FindObject *object = m.handles.As<FindObject>(find);
    if (object == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (data == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    if (object->next >= object->entries.size()) return m.FailWith(ERROR_NO_MORE_FILES);
    *data = object->entries[object->next++];
    return TRUE;
}

BOOL SimulatedPlatform::DoFindClose(HANDLE find) {
    Machine &m = *machine_;
    if (m.handles.As<FindObject>(find) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    m.Close(find);
    return TRUE;
}

HLOCAL SimulatedPlatform::DoLocalAlloc(UINT flags, std::size_t bytes) {
    Machine &m = *machine_;
    return m.memory.Allocate(flags, bytes);
}

HLOCAL SimulatedPlatform::DoLocalFree(HLOCAL memory) {
    Machine &m = *machine_;
    if (memory == nullptr) return nullptr;
    if (!m.memory.Free(memory)) return m.Fail(ERROR_INVALID_HANDLE, memory);
    return nullptr;
}

}  // namespace cvl::sim
