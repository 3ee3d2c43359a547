// Device lists, properties and class-installer requests through the real
// layer, on a device the harness entered in the prefix's registry.
#include <cstdio>
#include <string>
#include <vector>

#include "checks.h"

namespace cvl::probe {
namespace {

// {4d36e972-e325-11ce-bfc1-08002be10318}, the network adapter class.
constexpr Guid kNetClass = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// The ids of a multi-string, in order.
std::vector<std::u16string> SplitMultiString(const std::vector<BYTE> &bytes) {
    std::vector<std::u16string> ids;
    std::u16string current;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t c = char16_t(bytes[i] | (bytes[i + 1] << 8));
        if (c != 0) {
            current.push_back(c);
        } else if (!current.empty()) {
            ids.push_back(current);
            current.clear();
        } else {
            break;
        }
    }
    return ids;
}

// Finds the probe's device in a fresh list of all classes; the list is left
// open in `list` for the caller.
bool FindProbeDevice(ProbeContext &context, HDEVINFO &list, DevInfoData &device) {
    Platform &platform = context.platform;
    list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (list == InvalidHandleValue()) return false;
    for (DWORD index = 0; platform.SetupDiEnumDeviceInfo(list, index, &device); ++index) {
        DWORD needed = 0;
        platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, nullptr,
                                                   nullptr, 0, &needed);
        std::vector<BYTE> bytes(needed);
        if (needed == 0 ||
            !platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_HARDWAREID, nullptr,
                                                        bytes.data(), needed, nullptr))
            continue;
        const auto ids = SplitMultiString(bytes);
        if (!ids.empty() && ids.front() == context.hardwareId) return true;
    }
    return false;
}

}  // namespace

void CheckDevices(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;

    Guid classes[2] = {};
    DWORD count = 0;
    checks.Expect(platform.SetupDiClassGuidsFromNameW(u"Net", classes, 2, &count) != 0,
                  "class GUIDs of the network class");
    checks.ExpectNumber(count, 1, "one network class");
    checks.Expect(classes[0] == kNetClass, "the network class GUID");

    HDEVINFO list = nullptr;
    DevInfoData device{};
    checks.Expect(FindProbeDevice(context, list, device), "the prepared device is listed");
    checks.Expect(device.ClassGuid == kNetClass, "the listed device has its class GUID");

    // The size protocol of a property read: ask, then read.
    DWORD needed = 0;
    DWORD type = 0;
    platform.SetLastError(0);
    checks.Expect(!platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_COMPATIBLEIDS,
                                                              &type, nullptr, 0, &needed),
                  "property read without a buffer");
    checks.ExpectNumber(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER,
                        "property read without a buffer, last error");
    std::vector<BYTE> bytes(needed);
    checks.Expect(
        platform.SetupDiGetDeviceRegistryPropertyW(list, &device, SPDRP_COMPATIBLEIDS, &type,
                                                   bytes.data(), needed, nullptr) != 0,
        "property read with the size asked");
    checks.ExpectNumber(type, REG_MULTI_SZ, "compatible ids are a multi-string");
    checks.Expect(SplitMultiString(bytes).size() == 2, "both compatible ids");

    ULONG status = 0;
    ULONG problem = 0;
    checks.ExpectNumber(platform.CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0),
                        CR_SUCCESS, "node status of a listed device");

    // Wine takes no class-install parameters (see MakeClassInstallRequests);
    // its removal works without them.
    checks.Expect(platform.SetupDiCallClassInstaller(DIF_REMOVE, list, &device) != 0,
                  "device removed");
    checks.Expect(platform.SetupDiDestroyDeviceInfoList(list) != 0, "device list destroyed");

    HDEVINFO after = nullptr;
    DevInfoData gone{};
    checks.Expect(!FindProbeDevice(context, after, gone), "a removed device is not listed");
    platform.SetupDiDestroyDeviceInfoList(after);
}

void MakeClassInstallRequests(Platform &platform) {
    HDEVINFO list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    ClassInstallParams change{};
    change.InstallFunction = DIF_PROPERTYCHANGE;
    change.StateChange = DICS_DISABLE;
    change.Scope = DICS_FLAG_CONFIGSPECIFIC;
    ClassInstallParams removal{};
    removal.InstallFunction = DIF_REMOVE;
    removal.Scope = DI_REMOVEDEVICE_GLOBAL;
    for (const ClassInstallParams *request : {&change, &removal}) {
        const BOOL accepted = platform.SetupDiSetClassInstallParamsW(list, nullptr, request);
        std::printf("request %u: %d\n", request->InstallFunction, accepted);
    }
    platform.SetupDiDestroyDeviceInfoList(list);
}

}  // namespace cvl::probe
