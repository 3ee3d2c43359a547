// The driver store and the installation-source list. An INF is published
// in the INF folder as oemN.inf, with the lowest N free, beside its
// precompiled oemN.PNF, which remembers where the INF came from.
#include <algorithm>

#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr char16_t kSetupKey[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char16_t kSourcesValue[] = u"Installation Sources";
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

BOOL SimulatedPlatform::SetupCopyOEMInfW(const char16_t *sourceInf, const char16_t *mediaLocation,
                                         DWORD mediaType, DWORD copyStyle, char16_t *destination,
                                         DWORD destinationSize, DWORD *requiredSize) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::SetupCopyOEMInfW)) return m.FailWith(*error);
    if (sourceInf == nullptr || mediaType > SPOST_URL ||
        (destination == nullptr && destinationSize != 0))
        return m.FailWith(ERROR_INVALID_PARAMETER);
    // Only a full path names the source; anything else is not found.
    const FileSystem::Place source = m.files.Locate(sourceInf);
    if (!IsFullWinPath(sourceInf) || !source.node || source.node->directory)
        return m.FailWith(ERROR_FILE_NOT_FOUND);
    const DriverStore::Publication publication =
        m.store.Publish(source, mediaType, mediaLocation, copyStyle);
    if (publication.published.empty()) return m.FailWith(publication.error);
    // The name is given back even when an existing copy stops the call.
    const std::u16string path = m.store.InfFolder().Child(publication.published).Text();
    if (requiredSize != nullptr) *requiredSize = static_cast<DWORD>(path.size() + 1);
    if (destination != nullptr) {
        if (destinationSize <= path.size()) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
        std::copy(path.begin(), path.end(), destination);
        destination[path.size()] = u'\0';
    }
    if (publication.error != ERROR_SUCCESS) return m.FailWith(publication.error);
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::SetupAddToSourceListW(DWORD, const char16_t *source) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::SetupAddToSourceListW))
        return m.FailWith(*error);
    if (source == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    EditSourceList(source, true);
    return TRUE;
}

BOOL SimulatedPlatform::SetupRemoveFromSourceListW(DWORD, const char16_t *source) {
    Machine &m = *machine_;
    if (auto error = m.Injected(PlatformOperation::SetupRemoveFromSourceListW))
        return m.FailWith(*error);
    if (source == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    EditSourceList(source, false);
    return TRUE;
}

// The system's source list is a multi-string in the registry; a folder
// stands in it once, whatever its spelling.
void SimulatedPlatform::EditSourceList(std::u16string_view source, bool add) {
    auto sources = MultiStrings(machine_->registryPaths.GetRegValue(kSetupKey, kSourcesValue));
    const auto listed = [&](const auto &text) { return EqualsFoldAZ(text, source); };
    if (!add) {
        std::erase_if(sources, listed);
    } else if (std::none_of(sources.begin(), sources.end(), listed)) {
        sources.emplace_back(source);
    }
    machine_->registryPaths.SetRegMultiString(kSetupKey, kSourcesValue, sources);
}

}  // namespace cvl::sim
