// Driver store, installation sources, driver update and INF reading.
#include "platform/win32/win32_platform.h"

#include <cstddef>

#include "platform/win32/ansi_text.h"
#include "platform/win32/library_binding.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_boundary.h"

namespace cvl {

using win32::AnsiArg;
using win32::SameLayout;
using win32::UsesAnsiForms;
using win32::Wide;

// An INF position is handed back and forth unchanged.
static_assert(offsetof(InfContext, Inf) == offsetof(::INFCONTEXT, Inf));
static_assert(offsetof(InfContext, CurrentInf) == offsetof(::INFCONTEXT, CurrentInf));
static_assert(offsetof(InfContext, Section) == offsetof(::INFCONTEXT, Section));
static_assert(offsetof(InfContext, Line) == offsetof(::INFCONTEXT, Line));

namespace {

// The system's prototypes take INF positions as modifiable; they only read
// the ones they are given.
::PINFCONTEXT ReadOnlyContext(const InfContext *context) {
    return const_cast<::PINFCONTEXT>(SameLayout<const ::INFCONTEXT>(context));
}

}  // namespace

BOOL Win32Platform::SetupCopyOEMInfW(const char16_t *sourceInf, const char16_t *mediaLocation,
                                     DWORD mediaType, DWORD copyStyle, char16_t *destination,
                                     DWORD destinationSize, DWORD *requiredSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupCopyOEMInfW, Wide(sourceInf), Wide(mediaLocation), mediaType,
                              copyStyle, Wide(destination), destinationSize,
                              SameLayout<::DWORD>(requiredSize), nullptr);
    AnsiArg source(sourceInf);
    AnsiArg media(mediaLocation);
    if (!source.held() || !media.held()) return FALSE;
    // The copy is made once, into a buffer of the ANSI form's own; the
    // published name is then measured in characters.
    char published[MAX_PATH * 2] = {};
    ::DWORD publishedSize = 0;
    if (!CVL_BOUND_ANSI_CALL(SetupCopyOEMInfW, source.get(), media.get(), mediaType, copyStyle,
                             published, sizeof published, &publishedSize, nullptr))
        return FALSE;
    return win32::DeliverCounted(win32::FromAnsi(std::string_view(published, publishedSize)),
                                 destination, destinationSize, SameLayout<::DWORD>(requiredSize),
                                 true);
}

BOOL Win32Platform::SetupAddToSourceListW(DWORD flags, const char16_t *source) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(SetupAddToSourceListW, flags, Wide(source));
    AnsiArg folder(source);
    if (!folder.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(SetupAddToSourceListW, flags, folder.get());
}

BOOL Win32Platform::SetupRemoveFromSourceListW(DWORD flags, const char16_t *source) {
    if (!UsesAnsiForms()) return CVL_BOUND_CALL(SetupRemoveFromSourceListW, flags, Wide(source));
    AnsiArg folder(source);
    if (!folder.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(SetupRemoveFromSourceListW, flags, folder.get());
}

BOOL Win32Platform::UpdateDriverForPlugAndPlayDevicesW(const char16_t *hardwareId,
                                                       const char16_t *fullInfPath, DWORD flags,
                                                       BOOL *rebootRequired) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(UpdateDriverForPlugAndPlayDevicesW, nullptr, Wide(hardwareId),
                              Wide(fullInfPath), flags, SameLayout<::BOOL>(rebootRequired));
    AnsiArg id(hardwareId);
    AnsiArg path(fullInfPath);
    if (!id.held() || !path.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(UpdateDriverForPlugAndPlayDevicesW, nullptr, id.get(), path.get(),
                               flags, SameLayout<::BOOL>(rebootRequired));
}

HINF Win32Platform::SetupOpenInfFileW(const char16_t *fileName, const char16_t *infClass,
                                      DWORD infStyle, UINT *errorLine) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupOpenInfFileW, Wide(fileName), Wide(infClass), infStyle,
                              SameLayout<::UINT>(errorLine));
    AnsiArg name(fileName);
    AnsiArg inClass(infClass);
    if (!name.held() || !inClass.held()) return INVALID_HANDLE_VALUE;
    return CVL_BOUND_ANSI_CALL(SetupOpenInfFileW, name.get(), inClass.get(), infStyle,
                               SameLayout<::UINT>(errorLine));
}

void Win32Platform::SetupCloseInfFile(HINF inf) {
    CVL_BOUND_CALL(SetupCloseInfFile, inf);
}

BOOL Win32Platform::SetupFindFirstLineW(HINF inf, const char16_t *section, const char16_t *key,
                                        InfContext *context) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupFindFirstLineW, inf, Wide(section), Wide(key),
                              SameLayout<::INFCONTEXT>(context));
    AnsiArg ansiSection(section);
    AnsiArg ansiKey(key);
    if (!ansiSection.held() || !ansiKey.held()) return FALSE;
    return CVL_BOUND_ANSI_CALL(SetupFindFirstLineW, inf, ansiSection.get(), ansiKey.get(),
                               SameLayout<::INFCONTEXT>(context));
}

BOOL Win32Platform::SetupFindNextLine(const InfContext *contextIn, InfContext *contextOut) {
    return CVL_BOUND_CALL(SetupFindNextLine, ReadOnlyContext(contextIn),
                          SameLayout<::INFCONTEXT>(contextOut));
}

BOOL Win32Platform::SetupGetStringFieldW(const InfContext *context, DWORD fieldIndex,
                                         char16_t *buffer, DWORD bufferSize, DWORD *requiredSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupGetStringFieldW, ReadOnlyContext(context), fieldIndex,
                              Wide(buffer), bufferSize, SameLayout<::DWORD>(requiredSize));
    const auto ansi = win32::FetchCounted([&](char *text, ::DWORD size, ::DWORD *required) {
        return CVL_BOUND_ANSI_CALL(SetupGetStringFieldW, ReadOnlyContext(context), fieldIndex, text,
                                   size, required);
    });
    if (!ansi) return FALSE;
    return win32::DeliverCounted(win32::FromAnsi(*ansi), buffer, bufferSize,
                                 SameLayout<::DWORD>(requiredSize), true);
}

BOOL Win32Platform::SetupGetInfFileListW(const char16_t *directory, DWORD infStyle,
                                         char16_t *buffer, DWORD bufferSize, DWORD *requiredSize) {
    if (!UsesAnsiForms())
        return CVL_BOUND_CALL(SetupGetInfFileListW, Wide(directory), infStyle, Wide(buffer),
                              bufferSize, SameLayout<::DWORD>(requiredSize));
    AnsiArg folder(directory);
    if (!folder.held()) return FALSE;
    const auto ansi = win32::FetchCounted([&](char *text, ::DWORD size, ::DWORD *required) {
        return CVL_BOUND_ANSI_CALL(SetupGetInfFileListW, folder.get(), infStyle, text, size,
                                   required);
    });
    if (!ansi) return FALSE;
    return win32::DeliverCounted(win32::FromAnsi(*ansi), buffer, bufferSize,
                                 SameLayout<::DWORD>(requiredSize), true);
}

}  // namespace cvl
