// The uninstall's scan of the INF folders on any INF bytes: the machine holds
// the fuzzed INF (with its PNF) beside files that are not the maker's, and the
// scan must never crash, must release every handle and block, must delete the
// fuzzed INF only together with its PNF, and must delete nothing else. The
// decision on an older Windows whether an adapter's INF may go reads the same
// file and must not crash or leak either.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "common/family_code.h"
#include "common/os_kind.h"
#include "platform/sim/simulated_platform.h"
#include "uninstall/inf_cleanup.h"

namespace {

using cvl::DeviceFamily;

void Require(bool condition) {
    if (!condition) std::abort();
}

// The first byte picks the family scanned for, the fuzzed INF's name and
// folder, and whether its PNF is there; the rest is the INF.
struct Layout {
    DeviceFamily family;
    std::u16string folder;
    std::u16string name;
    bool withPnf;
    bool scanned;  // a folder the scan reads, a name it considers, a family it knows
};

Layout LayoutOf(std::uint8_t pick) {
    constexpr DeviceFamily kFamilies[] = {cvl::FamilyPci, cvl::FamilyPcie, cvl::FamilyVistaB701,
                                          cvl::FamilyPci};
    constexpr const char16_t *kNames[] = {u"oem7.inf", u"netcvl.inf", u"Cor5.INF", u"mdmcv.inf"};
    constexpr const char16_t *kFolders[] = {u"C:\\Windows\\INF\\", u"C:\\Windows\\INF\\OTHER\\",
                                            u"C:\\Windows\\INF\\INTERNET\\",
                                            u"C:\\Windows\\INF\\SUB\\"};
    const int family = pick & 0x3, name = (pick >> 2) & 0x3, folder = (pick >> 4) & 0x3;
    return Layout{kFamilies[family], kFolders[folder], kNames[name], (pick & 0x40) != 0,
                  family != 2 && name != 3 && folder != 3};
}

// What must outlive every scan: the system's own INF for the same chip, a
// published INF of another vendor, and files that are no INF at all.
void AddBystanders(cvl::sim::SimulatedPlatform &machine) {
    machine.Setup().AddFile(
        u"C:\\Windows\\INF\\oem1.inf",
        "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n[Manufacturer]\r\n%Msft%=Models\r\n"
        "[Models]\r\n%Desc%=Install, PCI\\VEN_1F3A&DEV_B701\r\n[Strings]\r\n"
        "Msft=\"Microsoft\"\r\nDesc=\"Adapter\"\r\n");
    machine.Setup().AddFile(u"C:\\Windows\\INF\\oem1.PNF", "pnf");
    machine.Setup().AddFile(
        u"C:\\Windows\\INF\\netother.inf",
        "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n[Manufacturer]\r\n%Maker%=Models\r\n"
        "[Models]\r\n%Desc%=Install, PCI\\VEN_8086&DEV_100E\r\n[Strings]\r\n"
        "Maker=\"Other\"\r\nDesc=\"Adapter\"\r\n");
    machine.Setup().AddFile(u"C:\\Windows\\INF\\netother.PNF", "pnf");
    machine.Setup().AddFile(u"C:\\Windows\\win.ini", "[windows]\r\n");
    machine.Setup().AddFile(u"C:\\Windows\\system32\\drivers\\cvlb701.sys", "driver");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const Layout layout = LayoutOf(data[0]);
    const std::string inf(reinterpret_cast<const char *>(data + 1), size - 1);

    cvl::sim::SimulatedPlatform machine;
    AddBystanders(machine);
    const std::u16string infPath = layout.folder + layout.name;
    const std::u16string pnfPath = infPath.substr(0, infPath.rfind(u'.')) + u".PNF";
    machine.Setup().AddFile(infPath, inf);
    if (layout.withPnf) machine.Setup().AddFile(pnfPath, "pnf");
    std::map<std::u16string, std::string> before = machine.Setup().AllFiles();

    cvl::DeleteMakerInfFilesInAllInfDirs(machine, layout.family);
    Require(machine.Setup().OpenHandleCount() == 0 &&
            machine.Setup().OutstandingAllocations() == 0);

    std::map<std::u16string, std::string> after = machine.Setup().AllFiles();
    const bool infGone = !machine.Setup().FileExists(infPath);
    Require(!infGone || layout.scanned);
    if (layout.withPnf) Require(machine.Setup().FileExists(pnfPath) != infGone);
    for (const std::u16string &path : {infPath, pnfPath}) {
        before.erase(path);
        after.erase(path);
    }
    Require(before == after);

    if (!infGone && layout.folder == u"C:\\Windows\\INF\\") {
        machine.Setup().SetVersion(cvl::VER_PLATFORM_WIN32_WINDOWS, 4, 10);
        cvl::MayDeleteAdapterInf(machine, cvl::Os9x98, layout.name);
        Require(machine.Setup().OpenHandleCount() == 0 &&
                machine.Setup().OutstandingAllocations() == 0);
    }
    return 0;
}
