// The driver store, the installation-source list and driver updates.
#include <algorithm>

#include "common/text.h"
#include "platform/sim/sim_device_registry.h"
#include "platform/sim/sim_machine.h"

namespace cvl::sim {
namespace {

constexpr char16_t kSetupKey[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
constexpr char16_t kSourcesValue[] = u"Installation Sources";
constexpr char kPnfMarker[] = "PNF precompiled INF";

bool IsFullPath(const char16_t *path) {
    return path != nullptr && path[0] != u'\0' && path[1] == u':' &&
           (path[2] == u'\\' || path[2] == u'/');
}

}  // namespace

BOOL SimulatedPlatform::SetupCopyOEMInfW(const char16_t *sourceInf, const char16_t *, DWORD,
                                         DWORD copyStyle, char16_t *destination,
                                         DWORD destinationSize, DWORD *requiredSize) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupCopyOEMInfW")) return m.FailWith(*error);
    if (sourceInf == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    // Only a full path names the source; anything else is not found.
    const Machine::Place source = m.Locate(sourceInf);
    if (!IsFullPath(sourceInf) || !source.node || source.node->directory)
        return m.FailWith(ERROR_FILE_NOT_FOUND);

    const WinPath infFolder = m.windowsDirectory.Child(u"INF");
    const auto folder = m.MakeDirectories(infFolder);
    if (!folder) return m.FailWith(ERROR_PATH_NOT_FOUND);
    // An INF already in the store keeps the name it was published under.
    std::u16string published;
    for (const auto &[folded, child] : folder->children)
        if (!child->directory && WildcardMatch(u"oem*.inf", child->name) &&
            child->contents == source.node->contents) {
            published = child->name;
            break;
        }
    DWORD result = ERROR_SUCCESS;
    if (!published.empty()) {
        if (copyStyle & SP_COPY_NOOVERWRITE) result = ERROR_FILE_EXISTS;
    } else {
        int number = 0;
        while (folder->children.count(FoldedName(u"oem" + Widen(std::to_string(number)) + u".inf")))
            ++number;
        const std::u16string stem = u"oem" + Widen(std::to_string(number));
        published = stem + u".inf";
        m.CreateFileNode(*folder, published)->contents = source.node->contents;
        m.CreateFileNode(*folder, stem + u".pnf")->contents = kPnfMarker;
    }
    const std::u16string path = infFolder.Child(published).Text();
    if (requiredSize != nullptr) *requiredSize = static_cast<DWORD>(path.size() + 1);
    if (destination != nullptr) {
        if (destinationSize <= path.size()) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
        std::copy(path.begin(), path.end(), destination);
        destination[path.size()] = u'\0';
    }
    if (result != ERROR_SUCCESS) return m.FailWith(result);
    return TRUE;
}

BOOL SimulatedPlatform::SetupAddToSourceListW(DWORD, const char16_t *source) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupAddToSourceListW")) return m.FailWith(*error);
    if (source == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    EditSourceList(source, true);
    return TRUE;
}

BOOL SimulatedPlatform::SetupRemoveFromSourceListW(DWORD, const char16_t *source) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupRemoveFromSourceListW")) return m.FailWith(*error);
    if (source == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    EditSourceList(source, false);
    return TRUE;
}

// The system's source list is a multi-string in the registry; a folder
// stands in it once, whatever its spelling.
void SimulatedPlatform::EditSourceList(std::u16string_view source, bool add) {
    auto sources = MultiStrings(GetRegValue(kSetupKey, kSourcesValue));
    const std::u16string folded = FoldedName(source);
    const auto listed = [&](const auto &text) { return FoldedName(text) == folded; };
    if (!add) {
        std::erase_if(sources, listed);
    } else if (std::none_of(sources.begin(), sources.end(), listed)) {
        sources.emplace_back(source);
    }
    SetRegMultiString(kSetupKey, kSourcesValue, sources);
}

BOOL SimulatedPlatform::UpdateDriverForPlugAndPlayDevicesW(const char16_t *hardwareId,
                                                           const char16_t *fullInfPath, DWORD,
                                                           BOOL *rebootRequired) {
    Machine &m = *machine_;
    if (rebootRequired != nullptr) *rebootRequired = FALSE;
    if (auto error = m.Injected("UpdateDriverForPlugAndPlayDevicesW")) return m.FailWith(*error);
    if (hardwareId == nullptr || *hardwareId == u'\0' || fullInfPath == nullptr)
        return m.FailWith(ERROR_INVALID_PARAMETER);
    const Machine::Place inf = m.Locate(fullInfPath);
    if (!inf.node || inf.node->directory) return m.FailWith(ERROR_FILE_NOT_FOUND);
    // No present device carries any hardware id.
    return m.FailWith(ERROR_NO_SUCH_DEVINST);
}

}  // namespace cvl::sim
