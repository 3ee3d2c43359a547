// The platform of a real Windows machine: every operation goes straight to
// the Win32 call of the same name. Our records are converted at this
// boundary only, and never so that the last error the logic reads changes
// between the real call and its return.
#pragma once

#include "platform/platform.h"

namespace cvl {

class Win32Platform final : public Platform {
public:
    DWORD GetLastError() override;
    void SetLastError(DWORD error) override;

    BOOL GetVersionExW(OsVersionInfoEx &info) override;

    LSTATUS RegOpenKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                          HKEY *result) override;
    LSTATUS RegCreateKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                            HKEY *result, DWORD *disposition) override;
    LSTATUS RegQueryValueExW(HKEY key, const char16_t *valueName, DWORD *type, BYTE *data,
                             DWORD *dataSize) override;
    LSTATUS RegSetValueExW(HKEY key, const char16_t *valueName, DWORD type, const BYTE *data,
                           DWORD dataSize) override;
    LSTATUS RegDeleteKeyW(HKEY key, const char16_t *subKey) override;
    LSTATUS RegDeleteValueW(HKEY key, const char16_t *valueName) override;
    LSTATUS RegEnumKeyExW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize) override;
    LSTATUS RegEnumValueW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize, DWORD *type,
                          BYTE *data, DWORD *dataSize) override;
    LSTATUS RegCloseKey(HKEY key) override;

    DWORD GetModuleFileNameW(char16_t *buffer, DWORD size) override;
    DWORD GetTempPathW(DWORD size, char16_t *buffer) override;
    UINT GetWindowsDirectoryW(char16_t *buffer, UINT size) override;
    UINT GetSystemDirectoryW(char16_t *buffer, UINT size) override;
    DWORD GetCurrentDirectoryW(DWORD size, char16_t *buffer) override;
    BOOL CopyFileW(const char16_t *existing, const char16_t *target, BOOL failIfExists) override;
    HANDLE CreateFileW(const char16_t *path, DWORD access, DWORD shareMode,
                       DWORD creationDisposition, DWORD flagsAndAttributes) override;
    BOOL WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written) override;
    BOOL DeleteFileW(const char16_t *path) override;
    BOOL SetFileAttributesW(const char16_t *path, DWORD attributes) override;
    DWORD GetFileAttributesW(const char16_t *path) override;
    HANDLE FindFirstFileW(const char16_t *pattern, FindData *data) override;
    BOOL FindNextFileW(HANDLE find, FindData *data) override;
    BOOL FindClose(HANDLE find) override;
    HLOCAL LocalAlloc(UINT flags, std::size_t bytes) override;
    HLOCAL LocalFree(HLOCAL memory) override;

    BOOL CreateProcessW(const char16_t *applicationName, char16_t *commandLine, BOOL inheritHandles,
                        DWORD creationFlags, const StartupInfo *startupInfo,
                        ProcessInformation *info) override;
    DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override;
    BOOL GetExitCodeProcess(HANDLE process, DWORD *exitCode) override;
    HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId) override;
    DWORD GetCurrentProcessId() override;
    BOOL CloseHandle(HANDLE handle) override;
    void ExitProcess(UINT exitCode) override;

    int MessageBoxW(const char16_t *text, const char16_t *caption, UINT type) override;
    void Sleep(DWORD milliseconds) override;
    DWORD GetTickCount() override;

    HDEVINFO SetupDiGetClassDevsW(const Guid *classGuid, const char16_t *enumerator,
                                  DWORD flags) override;
    BOOL SetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList, DWORD guidListSize,
                                    DWORD *requiredSize) override;
    BOOL SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, DevInfoData *data) override;
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) override;
    BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO list, const DevInfoData *data, DWORD property,
                                           DWORD *regType, BYTE *buffer, DWORD bufferSize,
                                           DWORD *requiredSize) override;
    HKEY SetupDiOpenDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope, DWORD hwProfile,
                              DWORD keyType, REGSAM sam) override;
    BOOL SetupDiDeleteDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope,
                                DWORD hwProfile, DWORD keyType) override;

    BOOL SetupDiSetClassInstallParamsW(HDEVINFO list, const DevInfoData *data,
                                       const ClassInstallParams *params) override;
    BOOL SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO list,
                                   const DevInfoData *data) override;

    CONFIGRET CM_Get_DevNode_Status(ULONG *status, ULONG *problem, DEVINST devInst,
                                    ULONG flags) override;
    CONFIGRET CM_Connect_MachineW(const char16_t *machineName, HMACHINE *machine) override;
    CONFIGRET CM_Locate_DevNode_ExW(DEVINST *devInst, const char16_t *deviceId, ULONG flags,
                                    HMACHINE machine) override;
    CONFIGRET CM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags, HMACHINE machine) override;
    CONFIGRET CM_Disconnect_Machine(HMACHINE machine) override;

    BOOL SetupCopyOEMInfW(const char16_t *sourceInf, const char16_t *mediaLocation, DWORD mediaType,
                          DWORD copyStyle, char16_t *destination, DWORD destinationSize,
                          DWORD *requiredSize) override;
    BOOL SetupAddToSourceListW(DWORD flags, const char16_t *source) override;
    BOOL SetupRemoveFromSourceListW(DWORD flags, const char16_t *source) override;
    BOOL UpdateDriverForPlugAndPlayDevicesW(const char16_t *hardwareId, const char16_t *fullInfPath,
                                            DWORD flags, BOOL *rebootRequired) override;

    HINF SetupOpenInfFileW(const char16_t *fileName, const char16_t *infClass, DWORD infStyle,
                           UINT *errorLine) override;
    void SetupCloseInfFile(HINF inf) override;
    BOOL SetupFindFirstLineW(HINF inf, const char16_t *section, const char16_t *key,
                             InfContext *context) override;
    BOOL SetupFindNextLine(const InfContext *contextIn, InfContext *contextOut) override;
    BOOL SetupGetStringFieldW(const InfContext *context, DWORD fieldIndex, char16_t *buffer,
                              DWORD bufferSize, DWORD *requiredSize) override;
    BOOL SetupGetInfFileListW(const char16_t *directory, DWORD infStyle, char16_t *buffer,
                              DWORD bufferSize, DWORD *requiredSize) override;

    SC_HANDLE OpenSCManagerW(const char16_t *machineName, const char16_t *databaseName,
                             DWORD access) override;
    SC_HANDLE OpenServiceW(SC_HANDLE manager, const char16_t *serviceName, DWORD access) override;
    BOOL QueryServiceConfigW(SC_HANDLE service, ServiceConfig *config, DWORD bufferSize,
                             DWORD *bytesNeeded) override;
    BOOL CloseServiceHandle(SC_HANDLE handle) override;
};

}  // namespace cvl
