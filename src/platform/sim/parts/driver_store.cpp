// The driver store: reading an INF with the machine folder ids, the lines an
// INF handle names, and publishing an INF as oemN.inf.
#include "platform/sim/parts/driver_store.h"
#include "common/text.h"

namespace cvl::sim {
namespace {

constexpr char kPnfMarker[] = "PNF precompiled INF";
constexpr DWORD SP_COPY_REPLACEONLY = 0x2;

// The catalog an INF names must lie beside it; the most specific entry
// for the machine counts.
std::optional<std::u16string> CatalogName(const InfFile &inf) {
    for (const char16_t *key : {u"CatalogFile.NTamd64", u"CatalogFile.NT", u"CatalogFile"})
        if (auto name = inf.Field(u"Version", key, 1); name && !name->empty()) return name;
    return std::nullopt;
}

}  // namespace

DriverStore::DriverStore(FileSystem &files, const HandleTable &handles)
    : files_(files), handles_(handles) {}

WinPath DriverStore::InfFolder() const {
    return files_.WindowsDirectory().Child(u"INF");
}

InfDirIds DriverStore::DirIds() const {
    const WinPath &windowsDirectory = files_.WindowsDirectory();
    const WinPath system = windowsDirectory.Child(u"system32");
    return {{10, windowsDirectory.Text()},
            {11, system.Text()},
            {12, system.Child(u"drivers").Text()},
            {17, windowsDirectory.Child(u"INF").Text()},
            {18, windowsDirectory.Child(u"Help").Text()},
            {20, windowsDirectory.Child(u"Fonts").Text()},
            {24, WinPath{windowsDirectory.drive, {}}.Text()}};
}

DWORD DriverStore::InfLineAt(const InfContext *context, const InfSection *&section,
                             const InfLine *&line) const {
    if (context == nullptr) return ERROR_INVALID_PARAMETER;
    const InfObject *inf = handles_.As<InfObject>(context->CurrentInf);
    if (inf == nullptr) return ERROR_INVALID_HANDLE;
    const auto &sections = inf->file->sections;
    if (context->Section >= sections.size() ||
        context->Line >= sections[context->Section].lines.size())
        return ERROR_INVALID_PARAMETER;
    section = &sections[context->Section];
    line = &section->lines[context->Line];
    return ERROR_SUCCESS;
}

InfParse DriverStore::ReadInf(const FsNode &file, DWORD infStyle) const {
    InfParse parse = ParseInf(file.contents, DirIds());
    if (parse.error) return parse;
    // A Windows-4 INF names its signature in [Version]; anything else
    // counts as an old-style INF.
    const DWORD style = parse.file.HasWin4Signature() ? INF_STYLE_WIN4 : INF_STYLE_OLDNT;
    if (!(infStyle & style)) parse.error = ERROR_WRONG_INF_STYLE;
    return parse;
}

DriverStore::Publication DriverStore::Publish(const FileSystem::Place &source, DWORD mediaType,
                                              const char16_t *mediaLocation, DWORD copyStyle) {
    Publication result;
    const InfParse parse = ReadInf(*source.node, INF_STYLE_WIN4);
    if (parse.error) {
        result.error = parse.error;
        return result;
    }
    if (const auto catalog = CatalogName(parse.file)) {
        const auto beside = files_.Lookup(source.path.Parent().Child(*catalog));
        if (!beside || beside->directory) {
            result.error = ERROR_FILE_NOT_FOUND;
            return result;
        }
    }
    const WinPath infFolder = InfFolder();
    const auto folder = files_.MakeDirectories(infFolder);
    if (!folder) {
        result.error = ERROR_PATH_NOT_FOUND;
        return result;
    }
    // An INF already in the store keeps the name it was published under.
    for (const auto &[folded, child] : folder->children)
        if (!child->directory && WildcardMatch(u"oem*.inf", child->name) &&
            child->contents == source.node->contents) {
            result.published = child->name;
            result.existed = true;
            if (copyStyle & SP_COPY_NOOVERWRITE) result.error = ERROR_FILE_EXISTS;
            return result;
        }
    if (copyStyle & SP_COPY_REPLACEONLY) {
        result.error = ERROR_FILE_NOT_FOUND;
        return result;
    }
    int number = 0;
    while (folder->children.count(FoldedName(u"oem" + Widen(std::to_string(number)) + u".inf")))
        ++number;
    const std::u16string stem = u"oem" + Widen(std::to_string(number));
    result.published = stem + u".inf";
    files_.CreateFileNode(*folder, result.published)->contents = source.node->contents;
    std::u16string origin;
    if (mediaType == SPOST_PATH)
        origin =
            mediaLocation != nullptr ? std::u16string(mediaLocation) : source.path.Parent().Text();
    else if (mediaType == SPOST_URL && mediaLocation != nullptr)
        origin = mediaLocation;
    files_.CreateFileNode(*folder, stem + u".PNF")->contents =
        std::string(kPnfMarker) + "\r\nSource=" + ToUtf8(origin) + "\r\n";
    return result;
}

}  // namespace cvl::sim
