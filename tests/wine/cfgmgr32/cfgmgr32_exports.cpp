// A stand-in for the system's cfgmgr32.dll, loaded from the program's folder
// when a test run sets WINEDLLOVERRIDES=cfgmgr32=n,b. Wine answers every node
// status with 0 and refuses the rescan calls; here each device gets the
// status flags the test wrote for its instance id, and the rescan calls
// succeed; each re-enumeration is recorded, since Wine keeps no trace of it.
// It exports exactly what cvlsetup.exe imports from cfgmgr32.dll.
#define CMAPI __declspec(dllexport)

#include <windows.h>

#include <cfgmgr32.h>

#include <cwchar>

#include "class_install_recorder.h"

namespace {

// REG_DWORD values named by device instance id: the DN_* flags of that node.
constexpr wchar_t kStatusKey[] = L"Software\\CvlWineTest\\DevNodeStatus";
// Each re-enumeration as a REG_DWORD value "0001", "0002", ...: its flags.
constexpr wchar_t kReenumerationsKey[] = L"Software\\CvlWineTest\\Reenumerations";

using GetDeviceIdFunction = CONFIGRET(WINAPI *)(DEVINST, PWSTR, ULONG, ULONG);

// Wine's own instance-id lookup; its setupapi hands out the node numbers.
GetDeviceIdFunction SystemGetDeviceId() {
    static GetDeviceIdFunction function = [] {
        wchar_t path[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryW(path, MAX_PATH - 16);
        if (length == 0 || length >= MAX_PATH - 16) return GetDeviceIdFunction{};
        lstrcatW(path, L"\\setupapi.dll");
        HMODULE setupapi = LoadLibraryW(path);
        if (setupapi == nullptr) return GetDeviceIdFunction{};
        return reinterpret_cast<GetDeviceIdFunction>(
            reinterpret_cast<void *>(GetProcAddress(setupapi, "CM_Get_Device_IDW")));
    }();
    return function;
}

ULONG StatusOf(const wchar_t *instanceId) {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kStatusKey, instanceId, RRF_RT_REG_DWORD, nullptr, &status,
                     &size) != ERROR_SUCCESS)
        return 0;
    return status;
}

void RecordReenumeration(DWORD flags) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kReenumerationsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    DWORD count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                     nullptr, nullptr, nullptr);
    wchar_t name[16] = {};
    swprintf(name, 16, L"%04lu", static_cast<unsigned long>(count + 1));
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&flags), sizeof(flags));
    RegCloseKey(key);
}

// Any non-null value: the caller only hands it back.
HMACHINE LocalMachine() {
    return reinterpret_cast<HMACHINE>(static_cast<ULONG_PTR>(1));
}

}  // namespace

extern "C" {

CONFIGRET WINAPI CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST node, ULONG) {
    if (status == nullptr || problem == nullptr) return CR_INVALID_POINTER;
    const GetDeviceIdFunction getDeviceId = SystemGetDeviceId();
    wchar_t instanceId[MAX_DEVICE_ID_LEN] = {};
    if (getDeviceId == nullptr || getDeviceId(node, instanceId, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
        return CR_INVALID_DEVNODE;
    *status = StatusOf(instanceId);
    *problem = 0;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Connect_MachineW(PCWSTR, PHMACHINE machine) {
    if (machine == nullptr) return CR_INVALID_POINTER;
    *machine = LocalMachine();
    return CR_SUCCESS;
}

// The ANSI forms, which the program calls on Windows 95, 98 and Me.
CONFIGRET WINAPI CM_Connect_MachineA(PCSTR, PHMACHINE machine) {
    return CM_Connect_MachineW(nullptr, machine);
}

CONFIGRET WINAPI CM_Disconnect_Machine(HMACHINE) {
    return CR_SUCCESS;
}

// Every lookup finds the root node, number 0.
CONFIGRET WINAPI CM_Locate_DevNode_ExW(PDEVINST node, DEVINSTID_W, ULONG, HMACHINE) {
    if (node == nullptr) return CR_INVALID_POINTER;
    *node = 0;
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Locate_DevNode_ExA(PDEVINST node, DEVINSTID_A, ULONG flags, HMACHINE machine) {
    return CM_Locate_DevNode_ExW(node, nullptr, flags, machine);
}

CONFIGRET WINAPI CM_Reenumerate_DevNode_Ex(DEVINST, ULONG flags, HMACHINE) {
    RecordReenumeration(flags);
    return CR_SUCCESS;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(self);
        StartRecordingClassInstallParams();
    }
    return TRUE;
}
