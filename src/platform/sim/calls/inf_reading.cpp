// INF reading. Each open INF holds the file as it was read when opened;
// lines are addressed by section and line index, as INFCONTEXT does.
#include "common/text.h"
#include "platform/sim/parts/driver_store.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD kKnownStyles = INF_STYLE_OLDNT | INF_STYLE_WIN4;

// Copies a text (with the zeros it holds) and its terminator into a
// caller's buffer sized in characters; no buffer asks for the size only.
DWORD CopyOut(std::u16string_view text, char16_t *buffer, DWORD bufferSize, DWORD *requiredSize) {
    const auto needed = static_cast<DWORD>(text.size() + 1);
    if (requiredSize != nullptr) *requiredSize = needed;
    if (buffer == nullptr) return ERROR_SUCCESS;
    if (bufferSize < needed) return ERROR_INSUFFICIENT_BUFFER;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return ERROR_SUCCESS;
}

}  // namespace

HINF SimulatedPlatform::DoSetupOpenInfFileW(const char16_t *fileName, const char16_t *infClass,
                                            DWORD infStyle, UINT *errorLine) {
    Machine &m = *machine_;
    if (errorLine != nullptr) *errorLine = 0;
    if (fileName == nullptr || !(infStyle & kKnownStyles) || (infStyle & ~kKnownStyles))
        return m.Fail(ERROR_INVALID_PARAMETER, InvalidHandleValue());
    // A name without a folder is looked for in the system's INF folder.
    const std::u16string_view name(fileName);
    const std::u16string path = name.find_first_of(u"\\/:") == std::u16string_view::npos
                                    ? m.store.InfFolder().Child(name).Text()
                                    : std::u16string(name);
    const FileSystem::Place place = m.files.Locate(path.c_str());
    if (place.error != ERROR_SUCCESS) return m.Fail(place.error, InvalidHandleValue());
    if (!place.node || place.node->directory)
        return m.Fail(ERROR_FILE_NOT_FOUND, InvalidHandleValue());
    InfParse parse = m.store.ReadInf(*place.node, infStyle);
    if (parse.error) {
        if (errorLine != nullptr) *errorLine = parse.errorLine;
        return m.Fail(parse.error, InvalidHandleValue());
    }
    if (infClass != nullptr) {
        const auto inClass = parse.file.Field(u"Version", u"Class", 1);
        if (!inClass || !EqualsFoldAZ(*inClass, infClass))
            return m.Fail(ERROR_CLASS_MISMATCH, InvalidHandleValue());
    }
    m.lastError = ERROR_SUCCESS;
    return m.handles.Add(
        InfObject{place.path.Text(), std::make_shared<const InfFile>(std::move(parse.file))});
}

void SimulatedPlatform::DoSetupCloseInfFile(HINF inf) {
    Machine &m = *machine_;
    if (m.handles.As<InfObject>(inf) != nullptr) m.Close(inf);
}

// Windows answers ERROR_LINE_NOT_FOUND for a section that does not exist
// as well as for one without the line asked for; only the line-count call
// reports ERROR_SECTION_NOT_FOUND.
BOOL SimulatedPlatform::DoSetupFindFirstLineW(HINF inf, const char16_t *section,
                                              const char16_t *key, InfContext *context) {
    Machine &m = *machine_;
    const InfObject *object = m.handles.As<InfObject>(inf);
    if (object == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (section == nullptr || context == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    const auto &sections = object->file->sections;
    for (UINT s = 0; s < sections.size(); ++s) {
        if (!EqualsFoldAZ(sections[s].name, section)) continue;
        const auto &lines = sections[s].lines;
        for (UINT l = 0; l < lines.size(); ++l) {
            if (key != nullptr && !(lines[l].key && EqualsFoldAZ(*lines[l].key, key))) continue;
            *context = InfContext{inf, inf, s, l};
            m.lastError = ERROR_SUCCESS;
            return TRUE;
        }
    }
    return m.FailWith(ERROR_LINE_NOT_FOUND);
}

BOOL SimulatedPlatform::DoSetupFindNextLine(const InfContext *contextIn, InfContext *contextOut) {
    Machine &m = *machine_;
    const InfSection *section = nullptr;
    const InfLine *line = nullptr;
    if (const DWORD error = m.store.InfLineAt(contextIn, section, line)) return m.FailWith(error);
    if (contextOut == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    if (contextIn->Line + 1 >= section->lines.size()) return m.FailWith(ERROR_LINE_NOT_FOUND);
    *contextOut = *contextIn;
    ++contextOut->Line;
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupGetStringFieldW(const InfContext *context, DWORD fieldIndex,
                                               char16_t *buffer, DWORD bufferSize,
                                               DWORD *requiredSize) {
    Machine &m = *machine_;
    const InfSection *section = nullptr;
    const InfLine *line = nullptr;
    if (const DWORD error = m.store.InfLineAt(context, section, line)) return m.FailWith(error);
    // Field 0 is the key; a line of several fields without '=' has none.
    const std::u16string *field = nullptr;
    if (fieldIndex == 0) {
        if (line->key) field = &*line->key;
    } else if (fieldIndex <= line->fields.size()) {
        field = &line->fields[fieldIndex - 1];
    }
    if (field == nullptr) return m.FailWith(ERROR_INVALID_PARAMETER);
    if (const DWORD error = CopyOut(*field, buffer, bufferSize, requiredSize))
        return m.FailWith(error);
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoSetupGetInfFileListW(const char16_t *directory, DWORD infStyle,
                                               char16_t *buffer, DWORD bufferSize,
                                               DWORD *requiredSize) {
    Machine &m = *machine_;
    if (!(infStyle & kKnownStyles) || (infStyle & ~kKnownStyles))
        return m.FailWith(ERROR_INVALID_PARAMETER);
    const std::u16string folderPath = directory != nullptr && *directory != u'\0'
                                          ? std::u16string(directory)
                                          : m.store.InfFolder().Text();
    const auto resolved = m.files.Resolve(folderPath);
    const auto folder = resolved ? m.files.Lookup(*resolved) : nullptr;
    if (!folder || !folder->directory) return m.FailWith(ERROR_PATH_NOT_FOUND);
    // Names only, in the order the folder lists them; a file that is no INF
    // of the style asked for is left out.
    std::u16string list;
    for (const auto &[folded, child] : folder->children) {
        if (child->directory || !WildcardMatch(u"*.inf", child->name)) continue;
        if (m.store.ReadInf(*child, infStyle).error) continue;
        list += child->name;
        list.push_back(u'\0');
    }
    // The zero after the last name is the terminator CopyOut adds.
    if (const DWORD error = CopyOut(list, buffer, bufferSize, requiredSize))
        return m.FailWith(error);
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

}  // namespace cvl::sim
