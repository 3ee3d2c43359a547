// Adapters on a simulated machine, for device tests.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::test {

// A PCI adapter of the maker with a driver: hardware ids from the most to the
// least specific, the ComponentId the driver key records, and its version.
inline sim::DeviceSpec PciAdapter(std::u16string_view device,
                                  std::u16string_view instanceSuffix = u"1",
                                  std::u16string_view driverVersion = u"8.45.507.2016") {
    const std::u16string dev(device);
    sim::DeviceSpec spec;
    spec.instanceId = u"PCI\\VEN_1F3A&DEV_" + dev + u"&SUBSYS_00011043&REV_06\\4&1F3A&0&" +
                      std::u16string(instanceSuffix);
    spec.hardwareIds = {u"PCI\\VEN_1F3A&DEV_" + dev + u"&SUBSYS_00011043&REV_06",
                        u"PCI\\VEN_1F3A&DEV_" + dev + u"&SUBSYS_00011043",
                        u"PCI\\VEN_1F3A&DEV_" + dev + u"&CC_020000",
                        u"PCI\\VEN_1F3A&DEV_" + dev + u"&CC_0200"};
    spec.compatibleIds = {u"PCI\\VEN_1F3A&DEV_" + dev + u"&REV_06", u"PCI\\VEN_1F3A&DEV_" + dev,
                          u"PCI\\CC_020000", u"PCI\\CC_0200"};
    std::u16string lowered = u"pci\\ven_1f3a&dev_";
    for (char16_t c : dev) lowered.push_back(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
    spec.driverStrings = {
        {u"ComponentId", lowered + u"&subsys_00011043"},
        {u"DriverVersion", std::u16string(driverVersion)},
        {u"NetCfgInstanceId", u"{5A1C3E2B-0000-4000-8000-00000000000" +
                                  std::u16string(instanceSuffix.substr(0, 1)) + u"}"},
        {u"InfPath", u"oem3.inf"}};
    return spec;
}

// A USB adapter: "usb\vid_vvvv&pid_pppp&rev_rrrr" and its shorter forms.
inline sim::DeviceSpec UsbAdapter(std::u16string_view vendor, std::u16string_view product,
                                  std::u16string_view revision,
                                  std::u16string_view driverVersion = u"10.13.1115.2016") {
    const std::u16string vp = u"VID_" + std::u16string(vendor) + u"&PID_" + std::u16string(product);
    sim::DeviceSpec spec;
    spec.instanceId = u"USB\\" + vp + u"\\00E04C680001";
    spec.hardwareIds = {u"USB\\" + vp + u"&REV_" + std::u16string(revision), u"USB\\" + vp};
    spec.compatibleIds = {u"USB\\Class_FF&SubClass_FF&Prot_00", u"USB\\Class_FF"};
    spec.driverStrings = {{u"ComponentId", u"usb\\vid_" + std::u16string(vendor) + u"&pid_" +
                                               std::u16string(product)},
                          {u"DriverVersion", std::u16string(driverVersion)},
                          {u"NetCfgInstanceId", u"{7B2D4F60-0000-4000-8000-000000000001}"},
                          {u"InfPath", u"oem5.inf"}};
    return spec;
}

// A device of no class with only its hardware ids and no driver key.
inline sim::DeviceSpec DeviceWithIds(std::u16string_view instance,
                                     std::vector<std::u16string> ids) {
    sim::DeviceSpec spec;
    spec.instanceId = std::u16string(instance);
    spec.hardwareIds = std::move(ids);
    spec.withDriverKey = false;
    return spec;
}

// The value of a driver-key string set by PciAdapter/UsbAdapter.
inline std::u16string DriverString(const sim::DeviceSpec &spec, std::u16string_view name) {
    for (const auto &[key, value] : spec.driverStrings)
        if (key == name) return value;
    return {};
}

}  // namespace cvl::test
