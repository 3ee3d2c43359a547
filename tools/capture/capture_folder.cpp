#include "capture/capture_folder.h"

#include <fstream>
#include <system_error>

#include "common/text.h"
#include "machine_image/image_files.h"
#include "machine_image/machine_image_settings.h"
#include "machine_image/reg_file.h"

namespace cvl::capture {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kUnfinishedSettingsName = "machine.txt.unfinished";

bool WriteWholeFile(const fs::path &file, std::string_view bytes, std::string &error) {
    std::error_code failure;
    fs::create_directories(file.parent_path(), failure);
    if (failure) {
        error = "cannot make " + file.parent_path().string() + ": " + failure.message();
        return false;
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + file.string() + " (is the disk full?)";
        return false;
    }
    return true;
}

// "C:\\Windows\\INF\\oem3.inf" -> drive_c/Windows/INF/oem3.inf.
bool HostPathOf(const fs::path &folder, std::u16string_view windowsPath, fs::path &hostPath) {
    if (windowsPath.size() < 3 || windowsPath[1] != u':' || windowsPath[2] != u'\\') return false;
    const char16_t letter = FoldAZ(windowsPath[0]);
    if (letter < u'a' || letter > u'z') return false;
    hostPath = folder / ("drive_" + std::string(1, static_cast<char>(letter)));
    std::u16string_view rest = windowsPath.substr(3);
    while (!rest.empty()) {
        const std::size_t slash = rest.find(u'\\');
        const std::u16string_view name = rest.substr(0, slash);
        if (name.empty() || name == u"." || name == u"..") return false;
        hostPath /= fs::path(ToUtf8(name));
        if (slash == std::u16string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return true;
}

bool WriteFiles(const CapturedMachine &machine, const fs::path &folder, std::string &error) {
    for (const CapturedFile &file : machine.files) {
        fs::path hostPath;
        if (!HostPathOf(folder, file.path, hostPath)) {
            error = "cannot place " + ToUtf8(file.path) + " in the image";
            return false;
        }
        if (!WriteWholeFile(hostPath, file.contents, error)) return false;
        if (file.readOnly) {
            std::error_code failure;
            fs::permissions(
                hostPath, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove, failure);
        }
    }
    return true;
}

}  // namespace

bool CheckCaptureFolder(const fs::path &folder, std::string &error) {
    std::error_code failure;
    const fs::file_status status = fs::status(folder, failure);
    if (status.type() == fs::file_type::not_found) return true;
    if (failure) {
        error = folder.string() + ": " + failure.message();
        return false;
    }
    if (status.type() != fs::file_type::directory) {
        error = folder.string() + " is not a folder";
        return false;
    }
    if (!fs::is_empty(folder, failure) || failure) {
        error = folder.string() + " is not empty; name a new or empty folder";
        return false;
    }
    return true;
}

bool WriteCapturedImage(const CapturedMachine &machine, const fs::path &folder,
                        std::string &error) {
    if (!CheckCaptureFolder(folder, error)) return false;
    std::string registry;
    if (!image::FormatRegFile(machine.keys, registry, error)) return false;
    if (!WriteWholeFile(folder / image::kRegistryFileName, registry, error)) return false;
    if (!WriteFiles(machine, folder, error)) return false;

    const fs::path unfinished = folder / kUnfinishedSettingsName;
    if (!WriteWholeFile(unfinished, image::FormatMachineSettings(machine.settings), error))
        return false;
    std::error_code failure;
    fs::rename(unfinished, folder / image::kSettingsFileName, failure);
    if (failure) {
        error = "cannot finish " + (folder / image::kSettingsFileName).string() + ": " +
                failure.message();
        return false;
    }
    return true;
}

}  // namespace cvl::capture
