// A driver package beside the program on a simulated machine, for install
// tests.
#pragma once

#include <string>
#include <vector>

#include "common/text.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::test {

// The package INF as "/f pkg\netcvx64.inf" names it from C:\setup.
inline constexpr char16_t kPackageInf[] = u"C:\\setup\\pkg\\netcvx64.inf";
inline constexpr char16_t kPackageInfOption[] = u"/f pkg\\netcvx64.inf";
inline constexpr char16_t kVdevInf[] = u"C:\\setup\\pkg\\Cvlhvdev.inf";
inline constexpr char16_t kPackageVersion[] = u"9.1.2.2017";

// A network-class INF whose models name `ids`, undecorated and for x64.
inline std::string PackageInfText(const std::vector<std::u16string> &ids,
                                  const char *driverVer = "03/01/2017,9.1.2.2017") {
    std::string models;
    for (const std::u16string &id : ids) models += "%Desc%=Cvl.ndi, " + ToUtf8(id) + "\r\n";
    return std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\n") +
           "ClassGUID={4D36E972-E325-11CE-BFC1-08002BE10318}\r\nProvider=%Mfg%\r\n" +
           "DriverVer=" + driverVer + "\r\n" +
           "[Manufacturer]\r\n%Mfg%=Corvane,NTamd64\r\n[Corvane]\r\n" + models +
           "[Corvane.NTamd64]\r\n" + models +
           "[Cvl.ndi]\r\nAddReg=params\r\n[Cvl.ndi.NTamd64]\r\nAddReg=params\r\n"
           "[params]\r\nHKR,, Tag, 0, \"cvl\"\r\n"
           "[Strings]\r\nMfg=\"Corvane\"\r\nDesc=\"Corvane Ethernet\"\r\n";
}

// Every id of the maker's PCI and USB adapters that the tests use.
inline std::vector<std::u16string> AllTestModels() {
    std::vector<std::u16string> ids;
    for (const char16_t *device : {u"B701", u"B702", u"B703", u"B704", u"B705", u"B709"})
        ids.push_back(u"PCI\\VEN_1F3A&DEV_" + std::u16string(device) + u"&CC_0200");
    for (const char16_t *device : {u"B70A&CC_0700", u"B70B&CC_0700", u"B70C&CC_0C07"})
        ids.push_back(u"PCI\\VEN_1F3A&DEV_" + std::u16string(device));
    for (const char16_t *usb : {u"vid_0c7e&pid_b760&rev_0100", u"vid_0c7e&pid_b761&rev_0100",
                                u"vid_0c7e&pid_b762&rev_3000", u"vid_17ef&pid_721e&rev_3000"})
        ids.push_back(u"USB\\" + std::u16string(usb));
    return ids;
}

inline void AddPackage(sim::SimulatedPlatform &machine,
                       const std::vector<std::u16string> &ids = AllTestModels()) {
    machine.Setup().AddFile(kPackageInf, PackageInfText(ids));
    machine.Setup().AddFile(kVdevInf, PackageInfText(ids));
}

// A command line with the package option after `switches`.
inline std::u16string Tail(std::u16string_view switches) {
    return std::u16string(switches) + u" " + kPackageInfOption;
}

// The value names of a key, in the order they were created.
inline std::vector<std::u16string> ValueNames(const sim::SimulatedPlatform &machine,
                                              std::u16string_view key) {
    std::vector<std::u16string> names;
    for (const auto &[name, value] : machine.Setup().RegValues(key)) names.push_back(name);
    return names;
}

// The log as its lines, without their line ends.
inline std::vector<std::string> LogLines(const std::string &log) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t end = log.find("\r\n", start);
        lines.push_back(log.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return lines;
}

}  // namespace cvl::test
