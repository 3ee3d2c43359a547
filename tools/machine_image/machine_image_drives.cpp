#include "machine_image/machine_image_drives.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <system_error>

#include "common/text.h"
#include "machine_image/machine_image_text.h"

namespace cvl::image {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kDrivePrefix = "drive_";

bool IsForbiddenInWindowsName(char16_t c) {
    return c < 0x20 || std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string_view::npos;
}

// The Windows name of a host file name, or why there is none.
std::optional<std::u16string> WindowsNameOf(const std::string &hostName, std::string &problem) {
    std::u16string name;
    if (!DecodeUtf8Strict(hostName, name)) {
        problem = "the name is not valid UTF-8";
        return std::nullopt;
    }
    for (const char16_t c : name) {
        if (IsForbiddenInWindowsName(c)) {
            problem = "the name holds a character Windows does not allow in names";
            return std::nullopt;
        }
    }
    if (name.ends_with(u'.') || name.ends_with(u' ')) {
        problem = "Windows drops a trailing dot or blank from names";
        return std::nullopt;
    }
    return name;
}

bool ReadHostFile(const fs::path &file, std::string &contents) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool IsWritable(const fs::path &file) {
    std::error_code ignored;
    const fs::perms perms = fs::status(file, ignored).permissions();
    return (perms & fs::perms::owner_write) != fs::perms::none;
}

class DriveReader {
public:
    DriveReader(DriveContents &contents, std::string &error) : contents_(contents), error_(error) {}

    bool ReadFolder(const fs::path &host, const std::u16string &windows) {
        std::error_code failure;
        std::map<std::u16string, std::string> seen;  // folded name -> host name
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(host, failure), end; !failure && it != end;
             it.increment(failure))
            entries.push_back(*it);
        if (failure) return Fail(host, "cannot be read: " + failure.message());
        // Sorted, so that a clash of names is reported the same way every time.
        std::sort(entries.begin(), entries.end());

        for (const fs::directory_entry &entry : entries) {
            const std::string hostName = HostPathText(entry.path().filename());
            std::string problem;
            const auto name = WindowsNameOf(hostName, problem);
            if (!name) return Fail(entry.path(), problem);
            const auto [other, added] = seen.try_emplace(LoweredAZ(*name), hostName);
            if (!added)
                return Fail(entry.path(), "names the same file on Windows as \"" + other->second +
                                              "\" (names there ignore case)");
            const std::u16string path = windows + u"\\" + *name;
            const fs::file_status status = entry.symlink_status(failure);
            if (fs::is_directory(status)) {
                contents_.directories.push_back(path);
                if (!ReadFolder(entry.path(), path)) return false;
            } else if (fs::is_regular_file(status)) {
                DriveFile file{path, {}, FILE_ATTRIBUTE_ARCHIVE};
                if (!ReadHostFile(entry.path(), file.contents))
                    return Fail(entry.path(), "cannot be read");
                if (!IsWritable(entry.path())) file.attributes |= FILE_ATTRIBUTE_READONLY;
                contents_.files.push_back(std::move(file));
            } else {
                return Fail(entry.path(),
                            "is neither a plain file nor a folder (links are not followed)");
            }
        }
        return true;
    }

private:
    bool Fail(const fs::path &where, const std::string &problem) {
        error_ = ImageErrorText(where, 0, problem);
        return false;
    }

    DriveContents &contents_;
    std::string &error_;
};

// The host path of a Windows path below `image`, refusing anything that could
// lead out of it.
std::optional<fs::path> HostPathOf(const fs::path &image, std::u16string_view path) {
    if (path.size() < 2 || path[1] != u':') return std::nullopt;
    const char16_t drive = FoldAZ(path[0]);
    if (drive < u'a' || drive > u'z') return std::nullopt;
    fs::path host = image / (std::string(kDrivePrefix) + static_cast<char>(drive));
    std::u16string_view rest = path.substr(2);
    while (!rest.empty()) {
        if (rest.front() != u'\\') return std::nullopt;
        rest.remove_prefix(1);
        const std::size_t slash = rest.find(u'\\');
        const std::u16string_view name = rest.substr(0, slash);
        if (name.empty() || name == u"." || name == u".." ||
            name.find_first_of(std::u16string_view(u"/\0", 2)) != std::u16string_view::npos)
            return std::nullopt;
        host /= HostPathFromUtf8(ToUtf8(name));
        rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash);
    }
    return host;
}

bool WriteHostFile(const fs::path &file, const SnapshotFile &source) {
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(source.contents.data(), static_cast<std::streamsize>(source.contents.size()));
        if (!out.good()) return false;
    }
    if (source.attributes & FILE_ATTRIBUTE_READONLY) {
        std::error_code failure;
        fs::permissions(file,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, failure);
        if (failure) return false;
    }
    return true;
}

}  // namespace

bool IsDriveFolderName(std::string_view name) {
    return name.size() == kDrivePrefix.size() + 1 && name.starts_with(kDrivePrefix) &&
           name.back() >= 'a' && name.back() <= 'z';
}

bool ReadDriveFolders(const fs::path &image, DriveContents &contents, std::string &error) {
    contents = DriveContents{};
    std::error_code failure;
    DriveReader reader(contents, error);
    for (const fs::directory_entry &entry : fs::directory_iterator(image, failure)) {
        const std::string name = HostPathText(entry.path().filename());
        if (!name.starts_with(kDrivePrefix)) continue;
        if (!IsDriveFolderName(name) || !entry.is_directory(failure) || entry.is_symlink(failure)) {
            error = ImageErrorText(entry.path(), 0,
                                   "a drive is a folder named drive_ and one lowercase letter");
            return false;
        }
        const auto drive = static_cast<char16_t>(name.back() - 'a' + 'A');
        if (!reader.ReadFolder(entry.path(), std::u16string{drive, u':'})) return false;
    }
    if (failure) {
        error = ImageErrorText(image, 0, "cannot be read: " + failure.message());
        return false;
    }
    return true;
}

bool WriteDriveFolders(const MachineSnapshot &snapshot, const fs::path &image, std::string &error) {
    const auto cannotSave = [&error](std::u16string_view path, std::string_view why) {
        error = "cannot save \"" + ToUtf8(path) + "\": " + std::string(why);
        return false;
    };
    std::error_code failure;
    for (const auto &[folded, path] : snapshot.directories) {
        const auto host = HostPathOf(image, path);
        if (!host) return cannotSave(path, "not a plain Windows path");
        fs::create_directories(*host, failure);
        if (failure) return cannotSave(path, failure.message());
    }
    for (const auto &[folded, file] : snapshot.files) {
        const auto host = HostPathOf(image, file.path);
        if (!host || host->parent_path() == image)
            return cannotSave(file.path, "not a plain Windows path");
        fs::create_directories(host->parent_path(), failure);
        if (failure) return cannotSave(file.path, failure.message());
        if (!WriteHostFile(*host, file))
            return cannotSave(file.path, "the file could not be written");
    }
    return true;
}

}  // namespace cvl::image
