// The device tree, device lists, the driver store, INF files and services
// as a machine without adapters answers them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {
namespace {

constexpr Guid kNetClass{
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

class DevicesContract : public ::testing::Test {
protected:
    SimulatedPlatform sim;
    Platform &platform = sim;
};

TEST_F(DevicesContract, RescanningTheRootIsRecordedCallByCall) {
    // Connect to the local machine, locate the root (no device id),
    // re-enumerate it, disconnect.
    HMACHINE machine = nullptr;
    ASSERT_EQ(platform.CM_Connect_MachineW(nullptr, &machine), CR_SUCCESS);
    DEVINST root = 0;
    ASSERT_EQ(platform.CM_Locate_DevNode_ExW(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL, machine),
              CR_SUCCESS);
    EXPECT_EQ(platform.CM_Reenumerate_DevNode_Ex(root, CM_REENUMERATE_SYNCHRONOUS, machine),
              CR_SUCCESS);
    EXPECT_EQ(platform.CM_Reenumerate_DevNode_Ex(root + 100, 0, machine), CR_INVALID_DEVNODE);
    EXPECT_EQ(platform.CM_Disconnect_Machine(machine), CR_SUCCESS);
    EXPECT_EQ(sim.DeviceTreeCalls(),
              (std::vector<std::string>{"connect", "locate", "reenumerate:1", "disconnect"}));
    EXPECT_EQ(platform.CM_Connect_MachineW(u"\\\\far", &machine), CR_MACHINE_UNAVAILABLE);
}

TEST_F(DevicesContract, EachTreeCallCanBeMadeToFailAndIsThenNotRecorded) {
    // A failing configuration-manager call returns the chosen CONFIGRET.
    HMACHINE machine = nullptr;
    DEVINST root = 0;
    ULONG status = 0;
    ULONG problem = 0;
    struct Case {
        const char *operation;
        std::function<CONFIGRET()> call;
    };
    const std::vector<Case> cases = {
        {"CM_Connect_MachineW", [&] { return platform.CM_Connect_MachineW(nullptr, &machine); }},
        {"CM_Locate_DevNode_ExW",
         [&] { return platform.CM_Locate_DevNode_ExW(&root, nullptr, 0, nullptr); }},
        {"CM_Reenumerate_DevNode_Ex",
         [&] { return platform.CM_Reenumerate_DevNode_Ex(1, 0, nullptr); }},
        {"CM_Disconnect_Machine", [&] { return platform.CM_Disconnect_Machine(nullptr); }},
        {"CM_Get_DevNode_Status",
         [&] { return platform.CM_Get_DevNode_Status(&status, &problem, 1, 0); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.operation);
        sim.Fail(c.operation, CR_ACCESS_DENIED, 1);
        EXPECT_EQ(c.call(), CR_ACCESS_DENIED);
    }
    EXPECT_TRUE(sim.DeviceTreeCalls().empty());
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
}

TEST_F(DevicesContract, DeviceListsOfAnEmptyMachineEndAtIndexZero) {
    // SetupDiGetClassDevs needs a class unless all classes are asked for;
    // enumeration ends with ERROR_NO_MORE_ITEMS; a destroyed list is an
    // invalid handle.
    EXPECT_EQ(platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_PRESENT), InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_PARAMETER);
    HDEVINFO list = platform.SetupDiGetClassDevsW(&kNetClass, nullptr, DIGCF_PRESENT);
    ASSERT_NE(list, InvalidHandleValue());
    DevInfoData data{};
    EXPECT_FALSE(platform.SetupDiEnumDeviceInfo(list, 0, &data));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(platform.SetupDiDestroyDeviceInfoList(list));
    EXPECT_FALSE(platform.SetupDiEnumDeviceInfo(list, 0, &data));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(DevicesContract, ClassNamesResolveThroughTheClassKeys) {
    // SetupDiClassGuidsFromName finds "Net" (any case) by the Class value of
    // the class keys; a short list fails with ERROR_INSUFFICIENT_BUFFER and
    // the count needed; an unknown class gives none.
    Guid guids[2]{};
    DWORD required = 0;
    ASSERT_TRUE(platform.SetupDiClassGuidsFromNameW(u"net", guids, 2, &required));
    EXPECT_EQ(required, 1u);
    EXPECT_TRUE(guids[0] == kNetClass);
    EXPECT_FALSE(platform.SetupDiClassGuidsFromNameW(u"Net", guids, 0, &required));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 1u);
    EXPECT_TRUE(platform.SetupDiClassGuidsFromNameW(u"Modem", guids, 2, &required));
    EXPECT_EQ(required, 0u);
}

TEST_F(DevicesContract, PublishingAnInfNamesItOemNInTheInfFolder) {
    // SetupCopyOEMInf stores the INF as oemN.inf (with its .pnf), gives the
    // same name again for the same INF, fails with ERROR_FILE_EXISTS under
    // SP_COPY_NOOVERWRITE, and with ERROR_INSUFFICIENT_BUFFER and the size
    // needed for a short buffer.
    sim.AddFile(u"C:\\setup\\net.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
    sim.AddFile(u"C:\\setup\\other.inf", "[Version]\r\n");
    sim.AddFile(u"C:\\Windows\\INF\\oem0.inf", "taken");
    char16_t destination[260];
    DWORD required = 0;
    ASSERT_TRUE(platform.SetupCopyOEMInfW(u"C:\\setup\\net.inf", u"C:\\setup", SPOST_PATH, 0,
                                          destination, 260, &required));
    EXPECT_EQ(std::u16string(destination), u"C:\\Windows\\INF\\oem1.inf");
    EXPECT_EQ(required, 24u);
    EXPECT_TRUE(sim.FileExists(u"C:\\Windows\\INF\\oem1.pnf"));
    ASSERT_TRUE(platform.SetupCopyOEMInfW(u"C:\\setup\\net.inf", nullptr, SPOST_PATH, 0,
                                          destination, 260, nullptr));
    EXPECT_EQ(std::u16string(destination), u"C:\\Windows\\INF\\oem1.inf");
    EXPECT_FALSE(platform.SetupCopyOEMInfW(u"C:\\setup\\net.inf", nullptr, SPOST_PATH,
                                           SP_COPY_NOOVERWRITE, destination, 260, nullptr));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_FALSE(platform.SetupCopyOEMInfW(u"C:\\setup\\other.inf", nullptr, SPOST_PATH, 0,
                                           destination, 10, &required));
    EXPECT_EQ(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 24u);
    for (const char16_t *missing : {u"C:\\setup\\none.inf", u"net.inf"}) {
        EXPECT_FALSE(
            platform.SetupCopyOEMInfW(missing, nullptr, SPOST_PATH, 0, destination, 260, nullptr));
        EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(DevicesContract, SourceFoldersAreListedOnceAndRemoved) {
    // The system source list holds each folder once, whatever its case.
    const char16_t kSetupKey[] = u"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
    EXPECT_TRUE(platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"C:\\pkg"));
    EXPECT_TRUE(platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"c:\\PKG"));
    EXPECT_TRUE(platform.SetupAddToSourceListW(SRCLIST_SYSIFADMIN, u"D:\\other"));
    const BYTE both[] = {'C',  0, ':', 0, '\\', 0, 'p', 0, 'k', 0, 'g', 0, 0, 0, 'D', 0, ':', 0,
                         '\\', 0, 'o', 0, 't',  0, 'h', 0, 'e', 0, 'r', 0, 0, 0, 0,   0};
    EXPECT_EQ(sim.GetRegValue(kSetupKey, u"Installation Sources")->data,
              std::vector<BYTE>(both, both + sizeof both));
    EXPECT_TRUE(platform.SetupRemoveFromSourceListW(SRCLIST_SYSIFADMIN, u"D:\\OTHER"));
    EXPECT_TRUE(platform.SetupRemoveFromSourceListW(SRCLIST_SYSIFADMIN, u"c:\\pkg"));
    EXPECT_EQ(sim.GetRegValue(kSetupKey, u"Installation Sources")->data, (std::vector<BYTE>{0, 0}));
}

TEST_F(DevicesContract, UpdatesFindNoDeviceAndInfFilesAreNotRead) {
    // With no adapter present an update fails with ERROR_NO_SUCH_DEVINST
    // (ERROR_FILE_NOT_FOUND when the INF is missing); a missing INF cannot
    // be opened; the INF folder lists nothing; no service exists.
    sim.AddFile(u"C:\\setup\\net.inf", "[Version]\r\n");
    BOOL reboot = TRUE;
    EXPECT_FALSE(platform.UpdateDriverForPlugAndPlayDevicesW(
        u"PCI\\VEN_10EC", u"C:\\setup\\net.inf", INSTALLFLAG_FORCE, &reboot));
    EXPECT_EQ(platform.GetLastError(), ERROR_NO_SUCH_DEVINST);
    EXPECT_FALSE(reboot);
    EXPECT_FALSE(platform.UpdateDriverForPlugAndPlayDevicesW(u"PCI\\VEN_10EC", u"C:\\none.inf",
                                                             INSTALLFLAG_FORCE, nullptr));
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(platform.SetupOpenInfFileW(u"C:\\none.inf", nullptr, INF_STYLE_WIN4, nullptr),
              InvalidHandleValue());
    EXPECT_EQ(platform.GetLastError(), ERROR_FILE_NOT_FOUND);
    DWORD required = 0;
    ASSERT_TRUE(platform.SetupGetInfFileListW(nullptr, INF_STYLE_WIN4, nullptr, 0, &required));
    EXPECT_EQ(required, 1u);

    SC_HANDLE manager = platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(platform.OpenServiceW(manager, u"cvlnet", SERVICE_QUERY_CONFIG), nullptr);
    EXPECT_EQ(platform.GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
    EXPECT_TRUE(platform.CloseServiceHandle(manager));
    EXPECT_FALSE(platform.CloseServiceHandle(manager));
    EXPECT_EQ(platform.GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace cvl::sim
