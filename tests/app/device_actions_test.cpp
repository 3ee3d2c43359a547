// The disable, enable, restart, presence, parameter and query actions, run
// as whole command lines.
#include <gtest/gtest.h>

#include "common/family_code.h"
#include "support/devices.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;

using test::LogOf;
using test::PciAdapter;
using test::RunTail;
using test::UsbAdapter;

std::string Utf8(std::u16string_view text) {
    return ToUtf8(text);
}

class DeviceActionsTest : public ::testing::Test {
protected:
    sim::SimulatedPlatform machine;
};

struct SwitchCase {
    const char16_t *tail;
    std::vector<std::string> timeline;
};

// Devices: a started B702 (PCI-Express), a started B701, a started B703, and
// a started USB B760, seeded in that order; a walk meets them in the order of
// the Enum tree (B701, B702, B703, then USB). "d:X"/"e:X" stand for
// disable/enable of device X.
class SwitchTableTest : public ::testing::TestWithParam<SwitchCase> {};

std::vector<std::string> Expand(const std::vector<std::string> &steps) {
    std::vector<std::string> out;
    for (const std::string &step : steps) {
        if (step.rfind("sleep", 0) == 0) {
            out.push_back(step);
            continue;
        }
        const std::string device = step.substr(2);
        std::string id;
        if (device == "B760") {
            id = Utf8(UsbAdapter(u"0C7E", u"B760", u"0100").instanceId);
        } else {
            id = Utf8(PciAdapter(FromUtf8(device), FromUtf8(device)).instanceId);
        }
        out.push_back((step[0] == 'd' ? "disable " : "enable ") + id);
    }
    return out;
}

TEST_P(SwitchTableTest, RunsTheFirstMatchingRowWithItsWaits) {
    const SwitchCase &c = GetParam();
    sim::SimulatedPlatform machine;
    for (std::u16string_view device : {u"B702", u"B701", u"B703"})
        machine.Setup().AddDevice(PciAdapter(device, device));
    machine.Setup().AddDevice(UsbAdapter(u"0C7E", u"B760", u"0100"));
    EXPECT_EQ(RunTail(machine, c.tail), 0u);
    EXPECT_EQ(machine.Setup().Timeline(), Expand(c.timeline)) << Utf8(c.tail);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SwitchTableTest,
    ::testing::Values(
        SwitchCase{u"/dnicdrv /b702 /b701", {"d:B702"}}, SwitchCase{u"/enicdrv /b702", {}},
        SwitchCase{u"/denicdrv /b702", {"sleep 1000", "d:B702", "sleep 1000", "e:B702"}},
        SwitchCase{u"/dnicdrv /b701 /b703", {"d:B703"}},
        SwitchCase{u"/dnicdrv /b701", {"d:B701", "d:B703"}},  // B703 is of the PCI family too
        SwitchCase{u"/denicdrv /b701",
                   {"sleep 1000", "d:B701", "d:B703", "sleep 1000", "e:B701", "e:B703"}},
        SwitchCase{u"/dnicdrv /vistab760 /vistab701", {"sleep 1000", "d:B760", "sleep 1000"}},
        SwitchCase{u"/enicdrv /vistab760", {"sleep 1000", "sleep 1000"}},
        SwitchCase{u"/denicdrv /vistab760", {"sleep 1000", "d:B760", "sleep 1000", "e:B760"}},
        SwitchCase{u"/dnicdrv", {"sleep 1000", "d:B701", "d:B702", "sleep 1000", "d:B703"}},
        SwitchCase{u"/dnicdrv /vistab701",
                   {"sleep 1000", "d:B701", "d:B702", "sleep 1000", "d:B703"}},
        SwitchCase{u"/denicdrv",
                   {"sleep 1000", "d:B701", "d:B702", "sleep 1000", "d:B703", "sleep 1000",
                    "e:B701", "e:B702", "sleep 1000", "e:B703"}}));

TEST_F(DeviceActionsTest, LegacyRowsLogTheirLineForAllThreeActions) {
    for (const char16_t *tail : {u"/dnicdrv /b702", u"/enicdrv /b702", u"/denicdrv /b702"}) {
        sim::SimulatedPlatform fresh;
        RunTail(fresh, tail);
        EXPECT_EQ(LogOf(fresh), "Disable Pcie Nic...\r\nExit code: = 0\r\n") << Utf8(tail);
    }
    sim::SimulatedPlatform b703;
    RunTail(b703, u"/enicdrv /b703 /b701");
    EXPECT_EQ(LogOf(b703), "Disable CVLB703 ...\r\nExit code: = 0\r\n");
    sim::SimulatedPlatform b701;
    RunTail(b701, u"/enicdrv /b701");
    EXPECT_EQ(LogOf(b701), "Disable CVLB701 ...\r\nExit code: = 0\r\n");
}

TEST_F(DeviceActionsTest, NicIdRestartsOneAdapterWithoutAPauseAndWritesCompleted) {
    auto adapter = PciAdapter(u"B702", u"5");
    machine.Setup().AddDevice(adapter);
    machine.Setup().AddDevice(PciAdapter(u"B705", u"6"));
    const std::u16string id = test::DriverString(adapter, u"NetCfgInstanceId");
    EXPECT_EQ(RunTail(machine, u"/denicdrv /b702 /nicid " + id), 0u);
    EXPECT_EQ(machine.Setup().Timeline(),
              (std::vector<std::string>{"disable " + Utf8(adapter.instanceId),
                                        "enable " + Utf8(adapter.instanceId)}));
    EXPECT_EQ(machine.Setup().ReadFileContents(u"C:\\setup\\Completed.txt"),
              "Disabled and enabled NIC");
}

TEST_F(DeviceActionsTest, NicIdMarkersOfDisableAndEnable) {
    struct Case {
        const char16_t *action;
        const char *marker;
    };
    for (const Case &c : {Case{u"/dnicdrv", "Disabled NIC"}, Case{u"/enicdrv", "Enabled NIC"}}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().AddFile(u"C:\\setup\\Completed.txt", "an older and longer marker");
        EXPECT_EQ(RunTail(fresh, std::u16string(c.action) + u" /nicid {nothing}"), 0u);
        EXPECT_EQ(fresh.Setup().ReadFileContents(u"C:\\setup\\Completed.txt"), c.marker);
    }
}

TEST_F(DeviceActionsTest, AnUnwritableMarkerStillEndsWithZero) {
    machine.Setup().Fail(Op::CreateFileW, ERROR_ACCESS_DENIED, 2);  // the log opens first
    EXPECT_EQ(RunTail(machine, u"/dnicdrv /nicid {x}"), 0u);
    EXPECT_FALSE(machine.Setup().FileExists(u"C:\\setup\\Completed.txt"));
}

TEST_F(DeviceActionsTest, PresenceCheckRecordsTheAnswerUnderTheFirstFamily) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(machine,
                      u"/chknicexist /vistab760 /vistab701 /chkvid 1f3a /chkpid b701 /chksvid 0000 "
                      u"/chkssid 0000"),
              0u);
    EXPECT_EQ(machine.Setup().GetRegString(u"HKLM\\Software\\CVLSetup\\VISTA_B701", u"NicExist"),
              u"yes");
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup\\VISTA_B760"));
    const std::string log = *LogOf(machine);
    EXPECT_NE(log.find("bNicExist = TRUE\r\nExit code: = 0\r\n"), std::string::npos) << log;

    sim::SimulatedPlatform absent;
    absent.Setup().CreateRegKey(u"HKLM\\Software");
    EXPECT_EQ(RunTail(absent, u"/chknicexist /vistab760 /vistab703"), 0u);
    EXPECT_EQ(absent.Setup().GetRegString(u"HKLM\\Software\\CVLSetup\\VISTA_B703", u"NicExist"),
              u"no");
    EXPECT_EQ(LogOf(absent), "bNicExist = FALSE\r\nExit code: = 0\r\n");

    sim::SimulatedPlatform b760;
    b760.Setup().CreateRegKey(u"HKLM\\Software");
    RunTail(b760, u"/chknicexist /vistab760");
    EXPECT_EQ(b760.Setup().GetRegString(u"HKLM\\Software\\CVLSetup\\VISTA_B760", u"NicExist"),
              u"no");
}

TEST_F(DeviceActionsTest, PresenceAnswerIsNotWrittenWhenItsKeysCannotBeOpened) {
    // VISTA_B703 and VISTA_B760 are written below an existing Software key
    // only; the first RegCreateKeyExW of a Windows 7 run is the
    // compatibility value's.
    struct Case {
        Op operation;
        std::uint32_t nth;
    };
    for (const Case &c : {Case{Op::RegOpenKeyExW, 0}, Case{Op::RegCreateKeyExW, 2}}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().CreateRegKey(u"HKLM\\Software");
        fresh.Setup().Fail(c.operation, ERROR_ACCESS_DENIED, c.nth);
        EXPECT_EQ(RunTail(fresh, u"/chknicexist /vistab703"), 0u) << c.operation;
        EXPECT_FALSE(fresh.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup\\VISTA_B703"))
            << c.operation;
        EXPECT_EQ(LogOf(fresh), "bNicExist = FALSE\r\nExit code: = 0\r\n");
        EXPECT_EQ(fresh.Setup().OpenHandleCount(), 0u);
    }
}

// A device list that cannot be opened is no answer: "NicExist" keeps what an
// earlier run recorded and the log says why, unless the other stage found
// the adapter all the same.
TEST_F(DeviceActionsTest, PresenceCheckThatCouldNotLookWritesNoAnswer) {
    constexpr char16_t kB701Key[] = u"HKLM\\Software\\CVLSetup\\VISTA_B701";
    constexpr char kNotLooked[] =
        "Could not list the devices, NicExist not written...\r\nExit code: = 0\r\n";
    struct Case {
        const char *what;
        const char16_t *device;  // a B707 without a driver is found by the second stage
        Op operation;
        std::uint32_t nth;
    };
    for (const Case &c :
         {Case{"no list at all", u"", Op::SetupDiGetClassDevsW, 0},
          Case{"no network class", u"", Op::SetupDiClassGuidsFromNameW, 0},
          Case{"no adapter list", u"", Op::SetupDiGetClassDevsW, 1},
          Case{"no device list", u"", Op::SetupDiGetClassDevsW, 2},
          Case{"found without the adapter list", u"B707", Op::SetupDiGetClassDevsW, 1},
          Case{"found without the network class", u"B709", Op::SetupDiClassGuidsFromNameW, 0}}) {
        sim::SimulatedPlatform fresh;
        fresh.Setup().SetRegString(kB701Key, u"NicExist", u"unchanged");
        if (*c.device != u'\0') {
            auto adapter = PciAdapter(c.device);
            adapter.withDriverKey = false;
            fresh.Setup().AddDevice(adapter);
        }
        fresh.Setup().Fail(c.operation, ERROR_NOT_ENOUGH_MEMORY, c.nth);
        EXPECT_EQ(RunTail(fresh,
                          u"/chknicexist /vistab701 /chkvid 1f3a /chkpid b702 /chksvid "
                          u"1043 /chkssid 0001"),
                  0u)
            << c.what;
        const bool found = *c.device != u'\0';
        EXPECT_EQ(fresh.Setup().GetRegString(kB701Key, u"NicExist"), found ? u"yes" : u"unchanged")
            << c.what;
        const std::string log = *LogOf(fresh);
        if (found) {
            EXPECT_NE(log.find("bNicExist = TRUE\r\n"), std::string::npos) << c.what;
        } else {
            EXPECT_EQ(log, kNotLooked) << c.what;
        }
    }
}

TEST_F(DeviceActionsTest, PresenceCheckWithoutItsFamiliesDoesNothing) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(machine, u"/chknicexist /vistab762 /b702"), 0u);
    EXPECT_EQ(LogOf(machine), "Exit code: = 0\r\n");
    EXPECT_FALSE(machine.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup"));
}

TEST_F(DeviceActionsTest, DeviceQueryAnswersWithTheExitCodeOnly) {
    auto adapter = PciAdapter(u"B702");
    adapter.withDriverKey = false;
    machine.Setup().AddDevice(adapter);
    EXPECT_EQ(RunTail(machine, u"/qdev 1f3a b702 6"), 0u);
    sim::SimulatedPlatform other;
    other.Setup().AddDevice(adapter);
    EXPECT_EQ(RunTail(other, u"/qdev 1f3a b702 07"), 11u);
    EXPECT_FALSE(other.Setup().RegKeyExists(u"HKLM\\Software\\CVLSetup"));
}

TEST_F(DeviceActionsTest, SetParametersWritesRetriesAndRestartsEachFamily) {
    const std::u16string key = machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(machine, u"/setwolreg /vistab701 /spn wol_setting /spv wol_mag_only"), 0u);
    EXPECT_EQ(machine.Setup().GetRegDword(key, u"PnPCapabilities"), 0x120u);
    const std::string id = Utf8(PciAdapter(u"B702").instanceId);
    EXPECT_EQ(machine.Setup().Timeline(),
              (std::vector<std::string>{"sleep 1000", "sleep 1000", "disable " + id, "sleep 1000",
                                        "enable " + id}));
}

TEST_F(DeviceActionsTest, SetParametersWithoutParametersDoesNothing) {
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(machine, u"/setwolreg /vistab701"), 0u);
    EXPECT_TRUE(machine.Setup().Timeline().empty());
}

TEST_F(DeviceActionsTest, AFamilyWhoseParametersFailIsNotHiddenByALaterOne) {
    // "on" is no number for the B701 family's DWORD value, so that family
    // fails every pass; the later B762 family takes it as text. Each pass
    // fails, so all ten passes run before the restarts.
    machine.Setup().SetRegDword(machine.Setup().AddDevice(PciAdapter(u"B702")), u"JumboFrame", 1);
    const std::u16string usbKey = machine.Setup().AddDevice(UsbAdapter(u"0C7E", u"B762", u"3000"));
    machine.Setup().SetRegString(usbKey, u"JumboFrame", u"off");
    RunTail(machine, u"/setwolreg /vistab701 /vistab762 /spn JumboFrame /spv on");
    EXPECT_EQ(machine.Setup().GetRegString(usbKey, u"JumboFrame"), u"on");
    std::size_t failedPasses = 0;
    for (const std::string &event : machine.Setup().Timeline())
        failedPasses += event == "sleep 2000";
    EXPECT_EQ(failedPasses, 10u);
}

TEST_F(DeviceActionsTest, SetParametersWithoutAFamilyKeepsFailingAllTenPasses) {
    RunTail(machine, u"/setwolreg /spn wol_setting /spv wol_none");
    EXPECT_EQ(machine.Setup().Sleeps(), std::vector<DWORD>(10, 2000));
}

}  // namespace
}  // namespace cvl
