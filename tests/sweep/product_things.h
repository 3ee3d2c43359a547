// What belongs to the product on a machine: the only things a run of it may
// delete or overwrite. Written once, as data: the fixed places below and,
// per machine, the adapters, their keys and files, which the seeding of
// each scenario adds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace cvl::test {

// Paths as the change report spells them ("HKLM\\...", "C:\\..."), compared
// with A to Z folded; a '*' stands for any run of characters.
inline constexpr std::u16string_view kProductPlaces[] = {
    // The setup-state and status keys and the Uninstall entries.
    u"HKLM\\SOFTWARE\\CVLSetup",
    u"HKLM\\SOFTWARE\\CVLSetup\\*",
    u"HKLM\\SOFTWARE\\Corvane\\*",
    u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\CVNUninst*",
    // The description values Windows numbers new connections by.
    u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Network\\{4d36e972-e325-11ce-bfc1-08002be10318}"
    u"\\Descriptions\\*CVLB*",
    // The compatibility value of the program's path.
    u"HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
    u"Assistant\\Persisted\\*cvlsetup.exe",
    // The system settings an install changes on purpose.
    u"HKLM\\SOFTWARE\\Microsoft\\Driver Signing\\Policy",
    u"HKCU\\Software\\Microsoft\\Driver Signing\\Policy",
    u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\Installation Sources",
    u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SysDM\\*",
    u"HKLM\\Enum\\USB\\VID_0C7E&PID_B760*",
    // The maker's DLLs, the program and its temporary copy, its log and
    // its answer file.
    u"C:\\Windows\\system32\\CVNUninst32.dll",
    u"C:\\Windows\\system32\\CVNUninst64.dll",
    u"C:\\Windows\\system32\\CvNicProp32.dll",
    u"C:\\Windows\\system32\\CvNicProp64.dll",
    u"C:\\setup\\cvlsetup.exe",
    u"C:\\Users\\user\\AppData\\Local\\Temp\\*.exe",
    u"C:\\setup\\InstallLog.txt",
    u"C:\\INST.TXT",
    u"C:\\setup\\Completed.txt",
};

// '*' matches any run of characters; the rest compares folded A to Z.
inline bool MatchesPlace(std::u16string_view pattern, std::u16string_view path) {
    if (pattern.empty()) return path.empty();
    if (pattern.front() == u'*') {
        for (std::size_t skip = 0; skip <= path.size(); ++skip)
            if (MatchesPlace(pattern.substr(1), path.substr(skip))) return true;
        return false;
    }
    return !path.empty() && FoldAZ(pattern.front()) == FoldAZ(path.front()) &&
           MatchesPlace(pattern.substr(1), path.substr(1));
}

// The adapters of one machine and what hangs off them, in the same form.
struct OwnedThings {
    std::vector<std::u16string> places;
    std::vector<std::u16string> devices;  // instance ids
};

// The thing a change line names: the key, value, file or device.
inline std::u16string ChangedThing(std::string_view line) {
    for (std::string_view kind : {"key ", "value ", "file ", "device "}) {
        if (line.size() < 2 + kind.size() || line.substr(2, kind.size()) != kind) continue;
        std::string_view thing = line.substr(2 + kind.size());
        if (kind != "key ") thing = thing.substr(0, thing.find(": "));
        // A file's size follows it after a blank and a parenthesis.
        if (kind == "file ") thing = thing.substr(0, thing.find(" ("));
        return FromUtf8(std::string(thing));
    }
    return {};
}

inline bool IsDeviceLine(std::string_view line) {
    return line.substr(2).starts_with("device ");
}

// A line that takes something away or writes over it: "- ..." and "~ ...".
inline bool DeletesOrOverwrites(std::string_view line) {
    return line.starts_with("- ") || line.starts_with("~ ");
}

inline bool BelongsToProduct(std::string_view line, const OwnedThings &owned) {
    const std::u16string thing = ChangedThing(line);
    if (IsDeviceLine(line)) {
        for (const auto &device : owned.devices)
            if (MatchesPlace(device, thing)) return true;
        return false;
    }
    for (std::u16string_view place : kProductPlaces)
        if (MatchesPlace(place, thing)) return true;
    for (const auto &place : owned.places)
        if (MatchesPlace(place, thing)) return true;
    return false;
}

}  // namespace cvl::test
