// The install and record-version actions around their flows: the parameter
// retry, the re-enable, and the driver-signing policy.
#include <gtest/gtest.h>

#include "install/signing_policy.h"
#include "support/devices.h"
#include "support/install_package.h"
#include "support/scenario.h"

namespace cvl {
namespace {

using sim::Op;
using test::AddPackage;
using test::LogLines;
using test::LogOf;
using test::PciAdapter;
using test::RunTail;
using test::Tail;
using test::UsbAdapter;

using Lines = std::vector<std::string>;

constexpr char16_t kMachinePolicy[] = u"HKLM\\Software\\Microsoft\\Driver Signing";
constexpr char16_t kUserPolicy[] = u"HKCU\\Software\\Microsoft\\Driver Signing";

std::vector<DWORD> Repeated(DWORD sleep, std::size_t count) {
    return std::vector<DWORD>(count, sleep);
}

TEST(InstallActionTest, ParametersAreRetriedUntilEveryFamilyTakesThem) {
    // Windows keeps the B705's driver, which it finds newer (the fourth update
    // of family 3's list), so the B705 keeps its old version and family 3
    // refuses the parameters in every pass, while family 4 (no adapter)
    // accepts them: the pass still fails.
    sim::SimulatedPlatform machine;
    AddPackage(machine);
    machine.Setup().Fail(Op::UpdateDriverForPlugAndPlayDevicesW, ERROR_SUCCESS, 4);
    machine.Setup().AddDevice(PciAdapter(u"B705"));
    const std::u16string key = machine.Setup().AddDevice(PciAdapter(u"B702", u"2"));
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab701 /vistab703 /spn wol_setting /spv wol_none")),
              0u);
    std::vector<DWORD> expected = {3000};  // the B702 update
    const std::vector<DWORD> retries = Repeated(2000, 10);
    expected.insert(expected.end(), retries.begin(), retries.end());
    expected.push_back(2000);  // after the re-enable
    EXPECT_EQ(machine.Setup().Sleeps(), expected);

    // Once every family takes them: one pass, then 1000 ms.
    sim::SimulatedPlatform ready;
    AddPackage(ready);
    const std::u16string readyKey = ready.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(ready, Tail(u"/i /vistab701 /vistab703 /spn wol_setting /spv wol_none")), 0u);
    EXPECT_EQ(ready.Setup().Sleeps(), (std::vector<DWORD>{3000, 1000, 2000}));
    EXPECT_EQ(ready.Setup().GetRegDword(readyKey, u"PnPCapabilities"), 56u);
}

TEST(InstallActionTest, LegacyParametersUseTheLegacyFamilies) {
    sim::SimulatedPlatform machine;
    machine.Setup().AddFile(u"C:\\setup\\Netcvlx.inf", test::PackageInfText(test::AllTestModels()));
    const std::u16string key = machine.Setup().AddDevice(PciAdapter(u"B703"));
    EXPECT_EQ(RunTail(machine, u"/i /b701 /b703 /spn wol_setting /spv wol_mag_only"), 0u);
    EXPECT_EQ(machine.Setup().GetRegDword(key, u"PnPCapabilities"), 0x120u);
    EXPECT_EQ(machine.Setup().Sleeps(), (std::vector<DWORD>{3000, 1000, 2000}));
}

// Every adapter an update switched off is on again when the install ends,
// also those the families' ComponentId prefixes do not name.
struct ReenableCase {
    const char16_t *tail;
    std::vector<sim::DeviceSpec> adapters;
};

class ReenableTest : public ::testing::TestWithParam<ReenableCase> {};

TEST_P(ReenableTest, UpdatedAdaptersAreOnAgain) {
    const ReenableCase &c = GetParam();
    sim::SimulatedPlatform machine;
    AddPackage(machine);
    machine.Setup().AddFile(u"C:\\setup\\Netcvle.inf", test::PackageInfText(test::AllTestModels()));
    machine.Setup().AddFile(u"C:\\setup\\Netcvlx.inf", test::PackageInfText(test::AllTestModels()));
    for (const sim::DeviceSpec &adapter : c.adapters) machine.Setup().AddDevice(adapter);
    EXPECT_EQ(RunTail(machine, c.tail), 0u);
    for (const sim::DeviceSpec &adapter : c.adapters) {
        const auto state = machine.Setup().DeviceState(adapter.instanceId);
        ASSERT_TRUE(state.has_value());
        EXPECT_TRUE(state->started) << ToUtf8(adapter.instanceId);
        const Lines timeline = machine.Setup().Timeline();
        EXPECT_NE(
            std::find(timeline.begin(), timeline.end(), "disable " + ToUtf8(adapter.instanceId)),
            timeline.end());
    }
    const Lines log = LogLines(*LogOf(machine));
    EXPECT_NE(std::find(log.begin(), log.end(), "Enable updated adapters..."), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "Found!!!"), log.end());
}

INSTANTIATE_TEST_SUITE_P(
    Families, ReenableTest,
    ::testing::Values(ReenableCase{u"/i /vistab701 /f pkg\\netcvx64.inf", {PciAdapter(u"B709")}},
                      ReenableCase{u"/i /b702", {PciAdapter(u"B709")}},
                      ReenableCase{u"/i /vistab76x /f pkg\\netcvx64.inf",
                                   {UsbAdapter(u"17ef", u"721e", u"3000", u"1.0.0.0")}},
                      ReenableCase{u"/i /b701 /b703",
                                   {PciAdapter(u"B701", u"1"), PciAdapter(u"B704", u"2")}},
                      ReenableCase{u"/i /vistab762 /oemvid 1f3a /oempid b702 /f pkg\\netcvx64.inf",
                                   {UsbAdapter(u"0c7e", u"b762", u"3000", u"1.0.0.0")}}));

TEST(InstallActionTest, AFailedFlowNeitherRetriesNorEnables) {
    sim::SimulatedPlatform machine;
    AddPackage(machine);
    machine.Setup().AddDevice(PciAdapter(u"B702", u"1", test::kPackageVersion));
    EXPECT_EQ(RunTail(machine, Tail(u"/i /vistab701 /spn wol_setting /spv wol_none")), 12u);
    EXPECT_TRUE(machine.Setup().Sleeps().empty());
    const Lines log = LogLines(*LogOf(machine));
    EXPECT_EQ(std::find(log.begin(), log.end(), "Enable updated adapters..."), log.end());
}

// An install that ends otherwise than with 0 after an update switched an
// adapter off switches it on again, but neither retries the parameters nor
// switches on the whole families.
struct FailedInstallCase {
    const char *name;
    const char16_t *tail;
    sim::FaultRule fault;
    DWORD exitCode;
};

void PrintTo(const FailedInstallCase &c, std::ostream *out) {
    *out << c.name;
}

class FailedInstallReenableTest : public ::testing::TestWithParam<FailedInstallCase> {};

TEST_P(FailedInstallReenableTest, TheUpdatedAdapterIsOnAgain) {
    const FailedInstallCase &c = GetParam();
    sim::SimulatedPlatform machine;
    AddPackage(machine);
    machine.Setup().AddFile(u"C:\\setup\\Netcvle.inf", test::PackageInfText(test::AllTestModels()));
    machine.Setup().AddFile(u"C:\\setup\\Cvlhvdev.inf",
                            test::PackageInfText(test::AllTestModels()));
    machine.Setup().AddFile(u"C:\\setup\\pkg\\Cvlhvdev.inf",
                            test::PackageInfText(test::AllTestModels()));
    const sim::DeviceSpec adapter = PciAdapter(u"B702");
    const std::u16string key = machine.Setup().AddDevice(adapter);
    machine.Setup().Fail(c.fault);
    EXPECT_EQ(RunTail(machine, c.tail), c.exitCode);
    const std::string id = ToUtf8(adapter.instanceId);
    const Lines timeline = machine.Setup().Timeline();
    ASSERT_GE(timeline.size(), 3u);
    EXPECT_EQ(Lines(timeline.end() - 3, timeline.end()),
              (Lines{"disable " + id, "sleep 3000", "enable " + id}));
    EXPECT_TRUE(machine.Setup().DeviceState(adapter.instanceId)->started);
    EXPECT_FALSE(machine.Setup().GetRegDword(key, u"PnPCapabilities").has_value());
    const Lines log = LogLines(*LogOf(machine));
    EXPECT_NE(std::find(log.begin(), log.end(), "Enable updated adapters..."), log.end());
}

sim::FaultRule FailingUpdate(std::uint32_t nth) {
    sim::FaultRule rule;
    rule.operation = Op::UpdateDriverForPlugAndPlayDevicesW;
    rule.error = ERROR_ACCESS_DENIED;
    rule.nth = nth;
    return rule;
}

INSTANTIATE_TEST_SUITE_P(
    Flows, FailedInstallReenableTest,
    ::testing::Values(
        // The B705's update (fourth of family 3) fails after the B702's worked.
        FailedInstallCase{"PerFamilyUpdateFailed",
                          u"/i /vistab701 /f pkg\\netcvx64.inf /spn wol_setting /spv wol_none",
                          FailingUpdate(4), 13},
        FailedInstallCase{"LegacyUpdateFailed", u"/i /b702 /spn wol_setting /spv wol_none",
                          FailingUpdate(4), 13},
        // The virtual functions' list cannot be allocated after the updates.
        FailedInstallCase{"VirtualFunctionListNotAllocated",
                          u"/i /b702 /vdevq2dp /spn wol_setting /spv wol_none",
                          sim::FaultRule{Op::LocalAlloc, ERROR_NOT_ENOUGH_MEMORY, 2}, 10}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RecordVersionActionTest, HasNoLineRetryOrEnableOfItsOwn) {
    sim::SimulatedPlatform machine;
    AddPackage(machine);
    machine.Setup().AddDevice(PciAdapter(u"B702"));
    EXPECT_EQ(RunTail(machine, Tail(u"/q /vistab701 /betadrv /spn wol_setting /spv wol_none")), 0u);
    const Lines log = LogLines(*LogOf(machine));
    EXPECT_EQ(log.front(), "The file path...");
    EXPECT_TRUE(machine.Setup().Sleeps().empty());
    EXPECT_EQ(machine.Setup().CallCount(Op::SetupDiGetClassDevsW), 0u);
}

void SeedPolicy(sim::SimulatedPlatform &machine) {
    machine.Setup().SetVersion(VER_PLATFORM_WIN32_NT, 5, 1, 2600, u"Service Pack 3");
    machine.Setup().SetRegValue(kMachinePolicy, u"Policy", REG_BINARY, {0x01});
    machine.Setup().SetRegDword(kUserPolicy, u"Policy", 2);
}

void ExpectOriginalPolicy(const sim::SimulatedPlatform &machine) {
    const auto machinePolicy = machine.Setup().GetRegValue(kMachinePolicy, u"Policy");
    ASSERT_TRUE(machinePolicy.has_value());
    EXPECT_EQ(machinePolicy->type, REG_BINARY);
    EXPECT_EQ(machinePolicy->data, (std::vector<BYTE>{0x01}));
    EXPECT_EQ(machine.Setup().GetRegValue(kUserPolicy, u"Policy")->type, REG_DWORD);
    EXPECT_EQ(machine.Setup().GetRegDword(kUserPolicy, u"Policy"), 2u);
}

TEST(SigningPolicyTest, RelaxesBothValuesAndRestoresThemExactly) {
    sim::SimulatedPlatform machine;
    SeedPolicy(machine);
    SigningPolicyGuard guard(machine);
    EXPECT_TRUE(guard.Relax());
    EXPECT_EQ(machine.Setup().GetRegValue(kMachinePolicy, u"Policy")->data,
              (std::vector<BYTE>{0x00}));
    EXPECT_EQ(machine.Setup().GetRegDword(kUserPolicy, u"Policy"), 0u);
    guard.Restore();
    ExpectOriginalPolicy(machine);
    EXPECT_EQ(machine.Setup().OpenHandleCount(), 0u);
}

TEST(SigningPolicyTest, AValueThatCannotBeReadIsNotTouched) {
    sim::SimulatedPlatform machine;
    SeedPolicy(machine);
    machine.Setup().DeleteRegValue(kUserPolicy, u"Policy");
    machine.Setup().SetRegValue(kMachinePolicy, u"Policy", REG_BINARY,
                                std::vector<BYTE>(200, 0x02));
    SigningPolicyGuard guard(machine);
    EXPECT_FALSE(guard.Relax());
    EXPECT_FALSE(machine.Setup().GetRegValue(kUserPolicy, u"Policy").has_value());
    EXPECT_EQ(machine.Setup().GetRegValue(kMachinePolicy, u"Policy")->data,
              std::vector<BYTE>(200, 0x02));
}

TEST(SigningPolicyTest, IsRestoredAfterASuccessfulAndAFailedInstall) {
    struct Case {
        const char16_t *tail;
        DWORD exitCode;
    };
    for (const Case &c : {Case{u"/i /vistab701 /betadrv /f pkg\\netcvx64.inf", 0},
                          Case{u"/i /vistab701 /betadrv /f pkg\\missing.inf", 9}}) {
        sim::SimulatedPlatform machine;
        SeedPolicy(machine);
        AddPackage(machine);
        machine.Setup().AddDevice(PciAdapter(u"B702"));
        EXPECT_EQ(RunTail(machine, c.tail), c.exitCode);
        ExpectOriginalPolicy(machine);
        // Relaxed and put back: two writes for each value.
        EXPECT_EQ(machine.Setup().CallCount(Op::RegSetValueExW) >= 4, true);
    }
}

}  // namespace
}  // namespace cvl
