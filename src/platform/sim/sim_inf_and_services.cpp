// INF reading and the service control manager. The machine reads no INF
// contents yet and has no services: an existing INF cannot be opened, an
// INF directory lists nothing, and no service exists.
#include "platform/sim/sim_machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD ERROR_BAD_FORMAT = 11;

}  // namespace

HINF SimulatedPlatform::SetupOpenInfFileW(const char16_t *fileName, const char16_t *, DWORD,
                                          UINT *errorLine) {
    Machine &m = *machine_;
    if (errorLine != nullptr) *errorLine = 0;
    if (auto error = m.Injected("SetupOpenInfFileW")) return m.Fail(*error, InvalidHandleValue());
    if (fileName == nullptr) return m.Fail(ERROR_INVALID_PARAMETER, InvalidHandleValue());
    // A name without a folder is looked for in the system's INF folder.
    const std::u16string_view name(fileName);
    const std::u16string path = name.find_first_of(u"\\/:") == std::u16string_view::npos
                                    ? m.windowsDirectory.Child(u"INF").Child(name).Text()
                                    : std::u16string(name);
    const Machine::Place place = m.Locate(path.c_str());
    if (!place.node || place.node->directory)
        return m.Fail(ERROR_FILE_NOT_FOUND, InvalidHandleValue());
    return m.Fail(ERROR_BAD_FORMAT, InvalidHandleValue());
}

void SimulatedPlatform::SetupCloseInfFile(HINF inf) {
    Machine &m = *machine_;
    m.Injected("SetupCloseInfFile");
    if (m.HandleAs<InfObject>(inf) != nullptr)
        m.ReleaseHandle(reinterpret_cast<std::uintptr_t>(inf));
}

BOOL SimulatedPlatform::SetupFindFirstLineW(HINF inf, const char16_t *, const char16_t *,
                                            InfContext *) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupFindFirstLineW")) return m.FailWith(*error);
    if (m.HandleAs<InfObject>(inf) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(ERROR_SECTION_NOT_FOUND);
}

BOOL SimulatedPlatform::SetupFindNextLine(const InfContext *contextIn, InfContext *) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupFindNextLine")) return m.FailWith(*error);
    if (contextIn == nullptr || m.HandleAs<InfObject>(contextIn->Inf) == nullptr)
        return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(ERROR_LINE_NOT_FOUND);
}

BOOL SimulatedPlatform::SetupGetStringFieldW(const InfContext *context, DWORD, char16_t *, DWORD,
                                             DWORD *) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupGetStringFieldW")) return m.FailWith(*error);
    if (context == nullptr || m.HandleAs<InfObject>(context->Inf) == nullptr)
        return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(ERROR_INVALID_PARAMETER);
}

BOOL SimulatedPlatform::SetupGetInfFileListW(const char16_t *, DWORD, char16_t *buffer,
                                             DWORD bufferSize, DWORD *requiredSize) {
    Machine &m = *machine_;
    if (auto error = m.Injected("SetupGetInfFileListW")) return m.FailWith(*error);
    // An empty list is the zero that ends it.
    if (requiredSize != nullptr) *requiredSize = 1;
    if (buffer != nullptr) {
        if (bufferSize < 1) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
        buffer[0] = u'\0';
    }
    return TRUE;
}

SC_HANDLE SimulatedPlatform::OpenSCManagerW(const char16_t *, const char16_t *, DWORD) {
    Machine &m = *machine_;
    if (auto error = m.Injected("OpenSCManagerW")) return m.Fail(*error, SC_HANDLE{nullptr});
    return static_cast<SC_HANDLE>(m.AddHandle(ServiceManagerObject{}));
}

SC_HANDLE SimulatedPlatform::OpenServiceW(SC_HANDLE manager, const char16_t *serviceName, DWORD) {
    Machine &m = *machine_;
    if (auto error = m.Injected("OpenServiceW")) return m.Fail(*error, SC_HANDLE{nullptr});
    if (m.HandleAs<ServiceManagerObject>(manager) == nullptr)
        return m.Fail(ERROR_INVALID_HANDLE, SC_HANDLE{nullptr});
    if (serviceName == nullptr) return m.Fail(ERROR_INVALID_PARAMETER, SC_HANDLE{nullptr});
    return m.Fail(ERROR_SERVICE_DOES_NOT_EXIST, SC_HANDLE{nullptr});
}

BOOL SimulatedPlatform::QueryServiceConfigW(SC_HANDLE service, ServiceConfig *, DWORD, DWORD *) {
    Machine &m = *machine_;
    if (auto error = m.Injected("QueryServiceConfigW")) return m.FailWith(*error);
    if (m.HandleAs<ServiceObject>(service) == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    return m.FailWith(ERROR_SERVICE_DOES_NOT_EXIST);
}

BOOL SimulatedPlatform::CloseServiceHandle(SC_HANDLE handle) {
    Machine &m = *machine_;
    if (auto error = m.Injected("CloseServiceHandle")) return m.FailWith(*error);
    if (m.HandleAs<ServiceManagerObject>(handle) == nullptr &&
        m.HandleAs<ServiceObject>(handle) == nullptr)
        return m.FailWith(ERROR_INVALID_HANDLE);
    m.ReleaseHandle(reinterpret_cast<std::uintptr_t>(handle));
    return TRUE;
}

}  // namespace cvl::sim
