// The registry subtrees a capture reads: every key cvlsetup reads or writes
// apart from the adapters' services, which follow from the devices.
#pragma once

#include <array>
#include <string_view>

namespace cvl::capture {

inline constexpr std::u16string_view kEnumRoot = u"HKLM\\SYSTEM\\CurrentControlSet\\Enum";
inline constexpr std::u16string_view kServicesRoot = u"HKLM\\SYSTEM\\CurrentControlSet\\Services";

// The network adapters' services are those their device keys name, and the
// maker's drivers' services, which all start with this.
inline constexpr std::u16string_view kMakerServicePrefix = u"cvl";

inline constexpr std::array<std::u16string_view, 13> kCapturedRoots = {
    // Device instances, the network class with its driver keys, and the
    // network connections named by the adapters' NetCfgInstanceId.
    kEnumRoot,
    u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e972-e325-11ce-bfc1-08002be10318}",
    u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Network\\{4d36e972-e325-11ce-bfc1-08002be10318}",
    // Windows 9x: its device instances and the legacy network class.
    u"HKLM\\Enum",
    u"HKLM\\SYSTEM\\CurrentControlSet\\Services\\Class\\Net",
    // cvlsetup's own state and the maker's settings.
    u"HKLM\\Software\\CVLSetup",
    u"HKLM\\Software\\Corvane",
    u"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    // The driver-signing policy, the machine's and the user's.
    u"HKLM\\Software\\Microsoft\\Driver Signing",
    u"HKCU\\Software\\Microsoft\\Driver Signing",
    // The Windows 98 device-manager search settings.
    u"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\SysDM",
    u"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\SysDM",
    // The program compatibility assistant's record of the user's programs.
    u"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    u"Assistant",
};

// The published INF files with their precompiled forms, in the Windows
// folder's INF folder, and the maker's DLLs in the system folder: the
// uninstaller's and the property pages' (CVNUninst32.dll, CvNicProp64.dll,
// ...), which the uninstall deletes.
enum class FileBase { kWindows, kSystem };
struct FilePattern {
    FileBase base;
    std::u16string_view pattern;
};
inline constexpr std::array<FilePattern, 4> kCapturedFiles = {{
    {FileBase::kWindows, u"INF\\oem*.inf"},
    {FileBase::kWindows, u"INF\\oem*.pnf"},
    {FileBase::kSystem, u"CVNUninst*.dll"},
    {FileBase::kSystem, u"CvNicProp*.dll"},
}};

}  // namespace cvl::capture
