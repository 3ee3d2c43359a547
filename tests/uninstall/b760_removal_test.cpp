// Finding and removing the oldest USB adapter through its INF and service.
#include "uninstall/b760_removal.h"

#include "uninstall/uninstall_fixture.h"

namespace cvl {
namespace {

using sim::Op;
using test::UsbAdapter;

sim::DeviceSpec B760(std::u16string_view infPath = u"oem12.inf") {
    auto spec = UsbAdapter(u"0C7E", u"B760", u"0100");
    spec.hardwareIds = {u"USB\\VID_0C7E&PID_B760&REV_0100", u"USB\\VID_0C7E&PID_B760"};
    for (auto &[name, value] : spec.driverStrings)
        if (name == u"InfPath") value = infPath;
    return spec;
}

constexpr char kIdLines[] =
    "usb\\vid_0c7e&pid_b760&rev_0100\r\nFound..\r\nusb\\vid_0c7e&pid_b760\r\n";

class B760RemovalTest : public test::UninstallFixture {
protected:
    bool Remove() {
        return RemoveB760Adapter(machine, state, options, FamilyVistaB760, infBase, imagePath);
    }
    bool Present(const sim::DeviceSpec &spec) {
        return machine.Setup().DeviceState(spec.instanceId).has_value();
    }
    std::u16string infBase;
    std::u16string imagePath;
};

TEST_F(B760RemovalTest, AnOemInstalledAdapterWithItsServiceIsRemoved) {
    const auto adapter = B760();
    machine.Setup().AddDevice(adapter);
    machine.Setup().AddService(u"USB-100", u"system32\\DRIVERS\\CVLB760.sys");
    options.x86 = true;
    EXPECT_TRUE(Remove());
    EXPECT_EQ(infBase, u"oem12");
    EXPECT_EQ(imagePath, u"system32\\DRIVERS\\CVLB760.sys");
    EXPECT_FALSE(Present(adapter));
    EXPECT_EQ(Log(), kIdLines);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST_F(B760RemovalTest, WithoutAnArchitectureSwitchNoServiceIsAskedFor) {
    const auto adapter = B760();
    machine.Setup().AddDevice(adapter);
    machine.Setup().AddService(u"USB-100", u"system32\\DRIVERS\\CVLB760.sys");
    EXPECT_FALSE(Remove());
    EXPECT_TRUE(Present(adapter));
    EXPECT_EQ(Log(), std::string(kIdLines) + "get service failed\r\n");
}

TEST_F(B760RemovalTest, TheX64LookupsReplaceTheX86Ones) {
    machine.Setup().AddDevice(B760());
    machine.Setup().AddService(u"USB-PGx64", u"system32\\DRIVERS\\CVLPG64.sys");
    options.x86 = true;
    options.x64 = true;
    EXPECT_TRUE(Remove());
    EXPECT_EQ(imagePath, u"system32\\DRIVERS\\CVLPG64.sys");

    sim::SimulatedPlatform other;
    RunState otherState{other};
    other.Setup().AddDevice(B760());
    other.Setup().AddService(u"USB-PG", u"system32\\DRIVERS\\CVLPG.sys");
    std::u16string base;
    std::u16string path;
    EXPECT_FALSE(RemoveB760Adapter(other, otherState, options, FamilyVistaB760, base, path));
    EXPECT_EQ(other.Setup().ClassInstallerCalls(), std::vector<std::string>{});
}

TEST_F(B760RemovalTest, AnUnpluggedAdapterIsFoundToo) {
    auto adapter = B760();
    adapter.present = false;
    machine.Setup().AddDevice(adapter);
    machine.Setup().AddService(u"USB-100x64", u"system32\\DRIVERS\\CVLB760.sys");
    options.x64 = true;
    EXPECT_TRUE(Remove());
    EXPECT_FALSE(Present(adapter));
}

TEST_F(B760RemovalTest, AnInfThatIsNoOemCopyKeepsTheAdapter) {
    struct Case {
        const char16_t *infPath;
        const char *log;
    };
    for (const Case &c : {Case{u"netusb.inf", ""}, Case{u"oem12", ""},
                          Case{u"OEM7.INF", "get service failed\r\n"}}) {
        SCOPED_TRACE(ToUtf8(c.infPath));
        sim::SimulatedPlatform fresh;
        RunState freshState{fresh};
        fresh.Setup().AddDevice(B760(c.infPath));
        std::u16string base;
        std::u16string path;
        OpenInstallLog(freshState.log);
        EXPECT_FALSE(RemoveB760Adapter(fresh, freshState, options, FamilyVistaB760, base, path));
        CloseInstallLog(freshState.log);
        EXPECT_EQ(fresh.Setup().ReadFileContents(test::kLogPath), std::string(kIdLines) + c.log);
        EXPECT_EQ(fresh.Setup().ClassInstallerCalls(), std::vector<std::string>{});
    }
}

TEST_F(B760RemovalTest, AMissingDriverKeyOrInfPathIsLogged) {
    auto driverless = B760();
    driverless.withDriverKey = false;
    machine.Setup().AddDevice(driverless);
    EXPECT_FALSE(Remove());
    EXPECT_EQ(Log(), std::string(kIdLines) + "Could not open reg\r\n");

    sim::SimulatedPlatform other;
    RunState otherState{other};
    auto noInf = B760();
    noInf.driverStrings.pop_back();
    other.Setup().AddDevice(noInf);
    OpenInstallLog(otherState.log);
    std::u16string base;
    std::u16string path;
    EXPECT_FALSE(RemoveB760Adapter(other, otherState, options, FamilyVistaB760, base, path));
    CloseInstallLog(otherState.log);
    EXPECT_EQ(other.Setup().ReadFileContents(test::kLogPath),
              std::string(kIdLines) + "read reg failed\r\n");
}

TEST_F(B760RemovalTest, WindowsMeRemovesTheAdapterButDeliversNothing) {
    UseOsKind(Os9xMe);
    const auto adapter = B760();
    machine.Setup().AddDevice(adapter);
    options.x86 = true;
    machine.Setup().AddService(u"USB-100", u"system32\\DRIVERS\\CVLB760.sys");
    EXPECT_FALSE(Remove());
    EXPECT_FALSE(Present(adapter));
    EXPECT_EQ(infBase, u"");
}

TEST_F(B760RemovalTest, OtherFamiliesAndAMissingListFindNothing) {
    const auto adapter = B760();
    machine.Setup().AddDevice(adapter);
    EXPECT_FALSE(RemoveB760Adapter(machine, state, options, FamilyVistaB761, infBase, imagePath));
    machine.Setup().Fail(Op::SetupDiGetClassDevsW, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(Remove());
    EXPECT_TRUE(Present(adapter));
    EXPECT_EQ(Log(), "");
}

}  // namespace
}  // namespace cvl
