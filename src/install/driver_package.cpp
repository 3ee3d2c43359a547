#include "install/driver_package.h"

#include <algorithm>

#include "common/limits.h"
#include "common/text.h"
#include "log/install_log.h"
#include "system/scoped_handle.h"

namespace cvl {
namespace {

constexpr std::size_t kPathBufferChars = limits::kLongPathChars;
constexpr std::size_t kVersionBufferChars = 256;
constexpr std::size_t kVersionCharsExamined = 511;
// The lines after the first that are looked at for DriverVer.
constexpr int kDriverVerLinesExamined = 19;
constexpr std::u16string_view kDriverVerKey = u"DriverVer";

std::u16string CutToBuffer(std::u16string text, std::size_t bufferChars) {
    if (text.size() > bufferChars - 1) text.resize(bufferChars - 1);
    return text;
}

bool ReadField(Platform &platform, const InfContext &context, DWORD field, std::u16string &text) {
    char16_t buffer[kVersionBufferChars] = {};
    if (!platform.SetupGetStringFieldW(&context, field, buffer, kVersionBufferChars, nullptr))
        return false;
    text.assign(TextOf(buffer, kVersionBufferChars));
    return true;
}

}  // namespace

PackagePaths BuildPackagePaths(std::u16string_view ownPath, std::u16string_view relativeInfPath) {
    PackagePaths paths;
    const std::size_t lastBackslash = ownPath.rfind(u'\\');
    paths.programDir =
        std::u16string(lastBackslash != std::u16string_view::npos && lastBackslash > 0
                           ? ownPath.substr(0, lastBackslash + 1)
                           : ownPath);
    paths.programDir = CutToBuffer(paths.programDir, kPathBufferChars);
    const std::size_t infBackslash = relativeInfPath.rfind(u'\\');
    if (infBackslash != std::u16string_view::npos && infBackslash > 0) {
        paths.sourceDir =
            CutToBuffer(paths.programDir + std::u16string(relativeInfPath.substr(0, infBackslash)),
                        kPathBufferChars);
    } else {
        paths.sourceDir = paths.programDir;
    }
    paths.infPath =
        CutToBuffer(paths.programDir + std::u16string(relativeInfPath), kPathBufferChars);
    return paths;
}

void LogPackagePaths(InstallLog &log, const PackagePaths &paths) {
    LogLine(log, u"The file path...");
    LogLine(log, paths.sourceDir);
    LogLine(log, paths.infPath);
}

PackageLocation LocateDriverPackage(Platform &platform, RunState &state, DriverPackage &package,
                                    const PackageSwitches &switches) {
    std::u16string infName;
    if (switches.infPath) {
        infName = *switches.infPath;
    } else if (switches.legacyFamily == FamilyPci) {
        infName = u"Netcvlx.inf";
    } else if (switches.legacyFamily == FamilyPcie) {
        infName = u"Netcvle.inf";
    } else {
        return PackageLocation::NoInfName;
    }
    char16_t ownPath[kPathBufferChars] = {};
    const DWORD length = platform.GetModuleFileNameW(ownPath, kPathBufferChars);
    if (length == 0 || length >= kPathBufferChars) return PackageLocation::NotFound;

    const PackagePaths paths = BuildPackagePaths(TextOf(ownPath, kPathBufferChars), infName);
    LogPackagePaths(state.log, paths);
    state.PackageInfPath = paths.infPath;
    if (!PackageInfExists(platform, paths.infPath)) return PackageLocation::NotFound;
    LoadPackageDriverVersion(platform, state);
    package.InfPath = paths.infPath;
    package.SourceDir = paths.sourceDir;
    return PackageLocation::Found;
}

bool ReadInfDriverVer(Platform &platform, HINF inf, std::u16string &version) {
    InfContext context{};
    if (!platform.SetupFindFirstLineW(inf, u"version", nullptr, &context)) return false;
    for (int line = 0; line < kDriverVerLinesExamined; ++line) {
        if (!platform.SetupFindNextLine(&context, &context)) continue;
        std::u16string key;
        if (!ReadField(platform, context, 0, key)) continue;
        // Only the first nine characters count, with their case.
        if (key.compare(0, kDriverVerKey.size(), kDriverVerKey) != 0) continue;
        if (ReadField(platform, context, 2, version)) return true;
    }
    return false;
}

std::u16string NormalizeDriverVersion(std::u16string_view version) {
    std::u16string result;
    const std::size_t examined = std::min(version.size(), kVersionCharsExamined);
    std::size_t part = 0;
    bool leading = true;
    bool skippedZero = false;
    auto endPart = [&] {
        if (part > 0 && leading && skippedZero) result.push_back(u'0');
    };
    for (std::size_t i = 0; i < examined; ++i) {
        const char16_t c = version[i];
        if (c == u'.') {
            endPart();
            result.push_back(c);
            ++part;
            leading = true;
            skippedZero = false;
        } else if (part > 0 && leading && c == u'0') {
            skippedZero = true;
        } else {
            leading = false;
            result.push_back(c);
        }
    }
    endPart();
    return result;
}

void LoadPackageDriverVersion(Platform &platform, RunState &state) {
    if (state.PackageInfPath.empty()) return;
    std::u16string version;
    {
        ScopedInf inf(platform, platform.SetupOpenInfFileW(state.PackageInfPath.c_str(), nullptr,
                                                           INF_STYLE_WIN4, nullptr));
        // A section without a usable DriverVer line leaves no version, not
        // the last key that was looked at.
        if (inf.IsOpen() && !ReadInfDriverVer(platform, inf.Get(), version)) version.clear();
    }
    state.PackageDriverVersion = CutToBuffer(NormalizeDriverVersion(version), kVersionBufferChars);
}

bool PackageInfExists(Platform &platform, const std::u16string &path) {
    FindData data{};
    HANDLE find = platform.FindFirstFileW(path.c_str(), &data);
    if (find == InvalidHandleValue()) return false;
    platform.FindClose(find);
    return true;
}

void FreeDriverPackage(DriverPackage &package) {
    package.InfPath.reset();
    package.SourceDir.reset();
}

}  // namespace cvl
