// The service control manager over the services the registry holds under
// HKLM\SYSTEM\CurrentControlSet\Services. Windows reads that key when it
// starts; the machine reads it at every call, as if it had just started.
#include <algorithm>

#include "common/text.h"
#include "platform/sim/parts/device_registry.h"
#include "platform/sim/parts/machine.h"

namespace cvl::sim {
namespace {

constexpr DWORD ERROR_DATABASE_DOES_NOT_EXIST = 1065;
constexpr DWORD RPC_S_SERVER_UNAVAILABLE = 1722;
constexpr DWORD RPC_X_NULL_REF_POINTER = 1780;
// QueryServiceConfigW takes at most 8 KB.
constexpr DWORD kMaxConfigBuffer = 8 * 1024;
// The QUERY_SERVICE_CONFIGW record before its strings: nine fields, five
// of them pointers.
constexpr DWORD kConfigRecord64 = 64;
constexpr DWORD kConfigRecord32 = 36;
constexpr DWORD SERVICE_DEMAND_START = 3;

std::u16string ServiceKey(std::u16string_view name) {
    return std::u16string(kServicesRoot) + u"\\" + std::u16string(name);
}

// Bytes of one string of the record; a missing one still takes an empty
// string's room.
DWORD StringBytes(const std::optional<std::u16string> &text) {
    return text ? static_cast<DWORD>((text->size() + 1) * sizeof(char16_t)) : 2 * sizeof(char16_t);
}

// Copies a text into a fixed slot, cut to fit and terminated.
template <std::size_t N>
void StoreText(char16_t (&slot)[N], std::u16string_view text) {
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), length, slot);
    slot[length] = u'\0';
}

}  // namespace

SC_HANDLE SimulatedPlatform::DoOpenSCManagerW(const char16_t *machineName,
                                              const char16_t *databaseName, DWORD) {
    Machine &m = *machine_;
    if (machineName != nullptr && *machineName != u'\0')
        return m.Fail(RPC_S_SERVER_UNAVAILABLE, SC_HANDLE{nullptr});
    if (databaseName != nullptr && !EqualsFoldAZ(databaseName, u"ServicesActive"))
        return m.Fail(ERROR_DATABASE_DOES_NOT_EXIST, SC_HANDLE{nullptr});
    return static_cast<SC_HANDLE>(m.handles.Add(ServiceManagerObject{}));
}

SC_HANDLE SimulatedPlatform::DoOpenServiceW(SC_HANDLE manager, const char16_t *serviceName,
                                            DWORD access) {
    Machine &m = *machine_;
    if (m.handles.As<ServiceManagerObject>(manager) == nullptr)
        return m.Fail(ERROR_INVALID_HANDLE, SC_HANDLE{nullptr});
    if (serviceName == nullptr) return m.Fail(RPC_X_NULL_REF_POINTER, SC_HANDLE{nullptr});
    // A service is a key under Services with its type.
    const std::u16string key = ServiceKey(serviceName);
    if (*serviceName == u'\0' || !m.registryPaths.GetRegDword(key, u"Type"))
        return m.Fail(ERROR_SERVICE_DOES_NOT_EXIST, SC_HANDLE{nullptr});
    return static_cast<SC_HANDLE>(m.handles.Add(ServiceObject{serviceName, access}));
}

BOOL SimulatedPlatform::DoQueryServiceConfigW(SC_HANDLE service, ServiceConfig *config,
                                              DWORD bufferSize, DWORD *bytesNeeded) {
    Machine &m = *machine_;
    const ServiceObject *object = m.handles.As<ServiceObject>(service);
    if (object == nullptr) return m.FailWith(ERROR_INVALID_HANDLE);
    if (!(object->access & SERVICE_QUERY_CONFIG)) return m.FailWith(ERROR_ACCESS_DENIED);
    if (bytesNeeded == nullptr) return m.FailWith(RPC_X_NULL_REF_POINTER);
    if (bufferSize > kMaxConfigBuffer) return m.FailWith(ERROR_INVALID_PARAMETER);
    const std::u16string key = ServiceKey(object->name);
    if (!m.registryPaths.GetRegDword(key, u"Type")) return m.FailWith(ERROR_SERVICE_DOES_NOT_EXIST);

    const auto imagePath = m.registryPaths.GetRegString(key, u"ImagePath");
    const auto dependencies = MultiStrings(m.registryPaths.GetRegValue(key, u"DependOnService"));
    DWORD dependencyBytes = 2 * sizeof(char16_t);
    if (!dependencies.empty()) {
        dependencyBytes = sizeof(char16_t);
        for (const auto &name : dependencies)
            dependencyBytes += static_cast<DWORD>((name.size() + 1) * sizeof(char16_t));
    }
    // A 32-bit program gets the 32-bit record, with 4-byte pointers.
    const DWORD needed =
        (m.system.Wow64() ? kConfigRecord32 : kConfigRecord64) + StringBytes(imagePath) +
        StringBytes(m.registryPaths.GetRegString(key, u"Group")) + dependencyBytes +
        StringBytes(m.registryPaths.GetRegString(key, u"ObjectName")) +
        StringBytes(m.registryPaths.GetRegString(key, u"DisplayName"));
    *bytesNeeded = needed;
    if (config == nullptr || bufferSize < needed) return m.FailWith(ERROR_INSUFFICIENT_BUFFER);
    config->dwServiceType = m.registryPaths.GetRegDword(key, u"Type").value_or(0);
    config->dwStartType = m.registryPaths.GetRegDword(key, u"Start").value_or(SERVICE_DEMAND_START);
    config->dwErrorControl = m.registryPaths.GetRegDword(key, u"ErrorControl").value_or(0);
    StoreText(config->lpBinaryPathName, imagePath.value_or(u""));
    m.lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL SimulatedPlatform::DoCloseServiceHandle(SC_HANDLE handle) {
    Machine &m = *machine_;
    if (m.handles.As<ServiceManagerObject>(handle) == nullptr &&
        m.handles.As<ServiceObject>(handle) == nullptr)
        return m.FailWith(ERROR_INVALID_HANDLE);
    m.Close(handle);
    return TRUE;
}

}  // namespace cvl::sim
