// The device and service rows of machine.txt: the devices the machine has,
// with what the device tree knows of them, and the installed services. One
// row a device, its fields separated by a bar with blanks around it:
//
//   device = PCI\VEN_1F3A&DEV_B702&SUBSYS_00011043&REV_06\4&2A1F3A70&0&00E4 | class=Net
//            | state=started,disableable | hardware=PCI\VEN_1F3A&DEV_B702&CC_0200,PCI\VEN_1F3A
//            | compatible=PCI\CC_0200 | driver=0007 ComponentId="pci\ven_1f3a&dev_b702"
//   (all on one line)
//   service = cvle62x64 | image=system32\DRIVERS\cvle62x64.sys | type=1 | start=3
//
// A device that never had a driver may lack the Class value, the ClassGUID
// value or both; the missing one is written "(no value)", which holds a
// blank and so is neither a class name nor a GUID:
//
//   device = PCI\VEN_1F3A&DEV_B702\4&2A1F3A70&0&00E4 | class=(no value) {4d36e972-...}
//
// Windows never puts a blank or a comma into a device or hardware id (its
// bus drivers may not report one), so ids are separated by commas and a
// field ends at a " | " outside double quotes. Driver texts are quoted, a
// quote inside doubled, so they may hold anything but line breaks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/setup/simulated_machine_types.h"

namespace cvl::image {

// What the device tree knows of a device: exactly one of these.
enum class DeviceCondition { Started, Stopped, Disabled, Absent };

struct DeviceRow {
    std::u16string instanceId;  // enumerator\device\instance
    // None: the instance key has no Class (ClassGUID) value.
    std::optional<std::u16string> className = u"Net";
    std::optional<std::u16string> classGuid = sim::kNetClassGuidText;
    DeviceCondition condition = DeviceCondition::Started;
    bool disableable = false;
    bool hidden = false;  // not shown in Device Manager
    std::vector<std::u16string> hardwareIds;
    std::vector<std::u16string> compatibleIds;
    // The driver key's name below the class key ("0007"); none: the device
    // has no driver key.
    std::optional<std::u16string> driverKey;
    std::vector<std::pair<std::u16string, std::u16string>> driverTexts;  // REG_SZ values there

    bool operator==(const DeviceRow &) const = default;
};

struct ServiceRow {
    std::u16string name;
    std::u16string imagePath;  // REG_EXPAND_SZ ImagePath
    DWORD type = 1;            // a kernel driver
    DWORD start = 3;           // started on demand

    bool operator==(const ServiceRow &) const = default;
};

// `text` is what follows "device =" or "service ="; `problem` says what is
// wrong with it.
bool ParseDeviceRow(std::u16string_view text, DeviceRow &row, std::string &problem);
bool ParseServiceRow(std::u16string_view text, ServiceRow &row, std::string &problem);
std::u16string FormatDeviceRow(const DeviceRow &row);
std::u16string FormatServiceRow(const ServiceRow &row);

// What a row can carry, for a machine read back into rows: the rest stays
// in the registry file.
bool IsDeviceId(std::u16string_view id);
bool IsDriverKeyName(std::u16string_view name);
bool CanCarryDriverText(std::u16string_view name, std::u16string_view text);
bool CanCarryServiceImage(std::u16string_view imagePath);
bool IsServiceName(std::u16string_view name);
// Each of the two values either missing or one a row can spell.
bool CanCarryClass(const std::optional<std::u16string> &name,
                   const std::optional<std::u16string> &guid);

// What AddDevice takes for a row.
sim::DeviceSpec SpecOf(const DeviceRow &row);

}  // namespace cvl::image
