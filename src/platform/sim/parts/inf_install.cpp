#include "platform/sim/parts/inf_install.h"

#include <algorithm>
#include <vector>

#include "common/text.h"
#include "platform/sim/parts/device_registry.h"

namespace cvl::sim {
namespace {

// FLG_ADDREG_* of the INF AddReg directive.
constexpr DWORD kAddRegBinary = 0x00000001;
constexpr DWORD kAddRegNoClobber = 0x00000002;
constexpr DWORD kAddRegDeleteValue = 0x00000004;
constexpr DWORD kAddRegAppend = 0x00000008;
constexpr DWORD kAddRegKeyOnly = 0x00000010;
constexpr DWORD kAddRegOverwriteOnly = 0x00000020;
constexpr DWORD kAddRegTypeMask = 0xFFFF0001;
constexpr DWORD kAddRegMultiSz = 0x00010000;
constexpr DWORD kAddRegExpandSz = 0x00020000;
constexpr DWORD kAddRegDword = 0x00010001;
constexpr DWORD kAddRegNone = 0x00020001;
// SPSVCINST_ASSOCSERVICE: the service is the device's function driver.
constexpr DWORD kAssociatedService = 0x2;

std::vector<std::u16string> Split(std::u16string_view text, char16_t separator) {
    std::vector<std::u16string> parts(1);
    for (const char16_t c : text) {
        if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back().push_back(c);
        }
    }
    return parts;
}

// A number as INF fields write them: "0x" hexadecimal or decimal, read up
// to the first character that does not belong.
unsigned long Number(std::u16string_view text, int base = 10) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    unsigned long value = 0;
    for (const char16_t c : text) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        if (digit < 0 || digit >= base) break;
        value = value * base + static_cast<unsigned long>(digit);
    }
    return value;
}

// How well a models-section decoration suits the machine; none when it
// is for another platform or a later Windows.
std::optional<DriverRank> DecorationFit(std::u16string_view decoration,
                                        const VersionReport &version) {
    const auto parts = Split(decoration, u'.');
    unsigned long platform = 0;
    if (EqualsFoldAZ(parts[0], u"NTamd64")) platform = 2;
    if (EqualsFoldAZ(parts[0], u"NT")) platform = 1;
    if (platform == 0) return std::nullopt;
    const unsigned long major = parts.size() > 1 ? Number(parts[1]) : 0;
    const unsigned long minor = parts.size() > 2 ? Number(parts[2]) : 0;
    if (major > version.major || (major == version.major && minor > version.minor))
        return std::nullopt;
    return DriverRank{platform, major, minor, 0, 0, 0, 0};
}

std::optional<std::u16string> ModelsSection(const InfLine &manufacturer,
                                            const VersionReport &version) {
    if (manufacturer.fields.empty()) return std::nullopt;
    const std::u16string &base = manufacturer.fields[0];
    if (manufacturer.fields.size() == 1) return base;
    std::optional<std::u16string> best;
    DriverRank bestFit{};
    for (std::size_t i = 1; i < manufacturer.fields.size(); ++i) {
        const auto fit = DecorationFit(manufacturer.fields[i], version);
        if (fit && (!best || *fit > bestFit)) {
            best = base + u"." + manufacturer.fields[i];
            bestFit = *fit;
        }
    }
    return best;
}

void AddRegLine(RegistryPaths &registry, const InfLine &line, std::u16string_view hkrPath) {
    const auto &f = line.fields;
    if (f.empty() || !EqualsFoldAZ(f[0], u"HKR")) return;
    std::u16string key(hkrPath);
    if (f.size() > 1 && !f[1].empty()) key += u"\\" + f[1];
    const DWORD flags = f.size() > 3 ? static_cast<DWORD>(Number(f[3])) : 0;
    if (f.size() < 3 || (flags & kAddRegKeyOnly)) {
        registry.CreateRegKey(key);
        return;
    }
    const std::u16string &name = f[2];
    const auto existing = registry.GetRegValue(key, name);
    if (flags & kAddRegDeleteValue) {
        registry.DeleteRegValue(key, name);
        return;
    }
    if (((flags & kAddRegNoClobber) && existing) || ((flags & kAddRegOverwriteOnly) && !existing))
        return;
    const std::vector<std::u16string> values(f.begin() + std::min<std::size_t>(f.size(), 4),
                                             f.end());
    const std::u16string first = values.empty() ? u"" : values.front();
    const DWORD type = flags & kAddRegTypeMask;
    if (type == kAddRegMultiSz) {
        std::vector<std::u16string> texts =
            (flags & kAddRegAppend) ? MultiStrings(existing) : std::vector<std::u16string>{};
        for (const auto &value : values)
            if (!(flags & kAddRegAppend) ||
                std::none_of(texts.begin(), texts.end(),
                             [&](const auto &text) { return EqualsFoldAZ(text, value); }))
                texts.push_back(value);
        registry.SetRegMultiString(key, name, texts);
    } else if (type == kAddRegDword) {
        registry.SetRegDword(key, name, static_cast<DWORD>(Number(first)));
    } else if (type == 0 || type == kAddRegExpandSz) {
        registry.SetRegString(key, name, first, type == 0 ? REG_SZ : REG_EXPAND_SZ);
    } else {
        // Binary data as hexadecimal bytes, of REG_BINARY or of the type
        // the high word names.
        std::vector<BYTE> bytes;
        for (const auto &value : values) bytes.push_back(static_cast<BYTE>(Number(value, 16)));
        const DWORD regType = type == kAddRegBinary ? REG_BINARY
                              : type == kAddRegNone ? REG_NONE
                                                    : type >> 16;
        registry.SetRegValue(key, name, regType, std::move(bytes));
    }
}

// The values of every line of a section with the key (AddReg = a, b).
std::vector<std::u16string> DirectiveValues(const InfFile &inf, std::u16string_view section,
                                            std::u16string_view directive) {
    std::vector<std::u16string> values;
    if (const InfSection *found = inf.Section(section))
        for (const auto &line : found->lines)
            if (line.key && EqualsFoldAZ(*line.key, directive))
                for (const auto &field : line.fields)
                    if (!field.empty()) values.push_back(field);
    return values;
}

std::u16string ServiceImagePath(const FileSystem &files, const std::u16string &binary) {
    const std::u16string windows = files.WindowsDirectory().Text() + u"\\";
    if (binary.size() > windows.size() &&
        EqualsFoldAZ(std::u16string_view(binary).substr(0, windows.size()), windows))
        return u"\\SystemRoot\\" + binary.substr(windows.size());
    return binary;
}

std::optional<std::u16string> DestinationFolder(const InfFile &inf, std::u16string_view list,
                                                const InfDirIds &dirIds) {
    const InfLine *line = inf.Line(u"DestinationDirs", list);
    if (line == nullptr) line = inf.Line(u"DestinationDirs", u"DefaultDestDir");
    if (line == nullptr || line->fields.empty()) return std::nullopt;
    const auto folder = dirIds.find(static_cast<int>(Number(line->fields[0])));
    if (folder == dirIds.end()) return std::nullopt;
    std::u16string path = folder->second;
    if (line->fields.size() > 1 && !line->fields[1].empty()) path += u"\\" + line->fields[1];
    return path;
}

void CopyOne(FileSystem &files, const InfFile &inf, std::u16string_view packageFolder,
             const std::u16string &folder, const std::u16string &target,
             const std::u16string &sourceName) {
    std::u16string source(packageFolder);
    if (const InfLine *disk = inf.Line(u"SourceDisksFiles", sourceName);
        disk != nullptr && disk->fields.size() > 1 && !disk->fields[1].empty())
        source += u"\\" + disk->fields[1];
    source += u"\\" + sourceName;
    if (const auto contents = files.Contents(source))
        files.AddFile(folder + u"\\" + target, *contents, FILE_ATTRIBUTE_ARCHIVE);
}

}  // namespace

std::optional<DriverMatch> FindDriver(const InfFile &inf, std::u16string_view hardwareId,
                                      const VersionReport &version) {
    const InfSection *manufacturers = inf.Section(u"Manufacturer");
    if (manufacturers == nullptr) return std::nullopt;
    for (const auto &manufacturer : manufacturers->lines) {
        const auto modelsName = ModelsSection(manufacturer, version);
        const InfSection *models = modelsName ? inf.Section(*modelsName) : nullptr;
        if (models == nullptr) continue;
        for (const auto &model : models->lines) {
            for (std::size_t i = 1; i < model.fields.size(); ++i) {
                if (!EqualsFoldAZ(model.fields[i], hardwareId)) continue;
                DriverMatch match{manufacturer.key.value_or(u""), model.key.value_or(u""),
                                  model.fields[0], u"", LoweredAZ(model.fields[i])};
                for (const char16_t *ext : {u".NTamd64", u".NT"})
                    if (inf.Section(match.installSection + ext) != nullptr) {
                        match.sectionExt = ext;
                        break;
                    }
                return match;
            }
        }
    }
    return std::nullopt;
}

DriverVer ReadDriverVer(const InfFile &inf) {
    DriverVer result;
    const auto date = inf.Field(u"Version", u"DriverVer", 1);
    if (date) {
        const auto parts = Split(*date, u'/');
        if (parts.size() == 3)
            result.date = DecimalText(static_cast<std::int64_t>(Number(parts[0]))) + u"-" +
                          DecimalText(static_cast<std::int64_t>(Number(parts[1]))) + u"-" +
                          DecimalText(static_cast<std::int64_t>(Number(parts[2])));
    }
    // Windows reads the version as four 16-bit numbers and writes them back
    // in decimal: 8.045.0507.2016 is kept as 8.45.507.2016, 1.2 as 1.2.0.0.
    const auto version = inf.Field(u"Version", u"DriverVer", 2);
    if (version && !version->empty()) {
        const auto parts = Split(*version, u'.');
        for (std::size_t i = 0; i < 4; ++i) {
            if (i > 0) result.version += u'.';
            const unsigned long number = i < parts.size() ? Number(parts[i]) : 0;
            result.version += DecimalText(static_cast<std::int64_t>(number & 0xFFFF));
        }
    }
    return result;
}

DriverRank RankOf(std::u16string_view date, std::u16string_view version) {
    DriverRank rank{};
    std::u16string unified(date);
    std::replace(unified.begin(), unified.end(), u'/', u'-');
    const auto dateParts = Split(unified, u'-');
    if (dateParts.size() == 3) {
        rank[0] = Number(dateParts[2]);
        rank[1] = Number(dateParts[0]);
        rank[2] = Number(dateParts[1]);
    }
    const auto versionParts = Split(version, u'.');
    for (std::size_t i = 0; i < versionParts.size() && i < 4; ++i)
        rank[3 + i] = Number(versionParts[i]);
    return rank;
}

void ApplyAddReg(RegistryPaths &registry, const InfFile &inf, std::u16string_view section,
                 std::u16string_view hkrPath) {
    for (const auto &name : DirectiveValues(inf, section, u"AddReg"))
        if (const InfSection *addReg = inf.Section(name))
            for (const auto &line : addReg->lines) AddRegLine(registry, line, hkrPath);
}

std::optional<std::u16string> InstallServices(RegistryPaths &registry, const FileSystem &files,
                                              const InfFile &inf, std::u16string_view section) {
    std::optional<std::u16string> associated;
    const InfSection *services = inf.Section(std::u16string(section) + u".Services");
    if (services == nullptr) return associated;
    for (const auto &line : services->lines) {
        if (!line.key || !EqualsFoldAZ(*line.key, u"AddService") || line.fields.size() < 3)
            continue;
        const std::u16string &name = line.fields[0];
        const std::u16string &install = line.fields[2];
        const auto text = [&](const char16_t *key) { return inf.Field(install, key, 1); };
        const std::u16string key = u"HKLM\\SYSTEM\\CurrentControlSet\\Services\\" + name;
        AddServiceKey(registry, name, ServiceImagePath(files, text(u"ServiceBinary").value_or(u"")),
                      static_cast<DWORD>(Number(text(u"ServiceType").value_or(u"1"))),
                      static_cast<DWORD>(Number(text(u"StartType").value_or(u"3"))));
        registry.SetRegDword(key, u"ErrorControl",
                             static_cast<DWORD>(Number(text(u"ErrorControl").value_or(u"1"))));
        if (const auto display = text(u"DisplayName"))
            registry.SetRegString(key, u"DisplayName", *display);
        if (const auto group = text(u"LoadOrderGroup"))
            registry.SetRegString(key, u"Group", *group);
        if (Number(line.fields[1]) & kAssociatedService) associated = name;
    }
    return associated;
}

void CopyDriverFiles(FileSystem &files, const InfFile &inf, std::u16string_view section,
                     std::u16string_view packageFolder, const InfDirIds &dirIds) {
    for (const auto &list : DirectiveValues(inf, section, u"CopyFiles")) {
        if (list.front() == u'@') {
            if (const auto folder = DestinationFolder(inf, u"DefaultDestDir", dirIds))
                CopyOne(files, inf, packageFolder, *folder, list.substr(1), list.substr(1));
            continue;
        }
        const InfSection *fileList = inf.Section(list);
        const auto folder = DestinationFolder(inf, list, dirIds);
        if (fileList == nullptr || !folder) continue;
        for (const auto &line : fileList->lines) {
            if (line.fields.empty() || line.fields[0].empty()) continue;
            const std::u16string &target = line.fields[0];
            const bool renamed = line.fields.size() > 1 && !line.fields[1].empty();
            CopyOne(files, inf, packageFolder, *folder, target, renamed ? line.fields[1] : target);
        }
    }
}

}  // namespace cvl::sim
