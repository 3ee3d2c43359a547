// The one door from the logic to the operating system. Every operation has
// the name, the arguments that matter, the result and the last-error code of
// the Win32 call it stands for; buffer sizes follow the Win32 protocols
// (characters where Windows counts characters, bytes where it counts bytes).
// Calls never throw.
#pragma once

#include "platform/win_types.h"

namespace cvl {

using namespace cvl::win;

class Platform {
public:
    virtual ~Platform() = default;

    // --- Last error -------------------------------------------------------
    virtual DWORD GetLastError() = 0;
    virtual void SetLastError(DWORD error) = 0;

    // --- Version report ---------------------------------------------------
    // `info.dwOSVersionInfoSize` selects the record: kOsVersionInfoExSize or
    // kOsVersionInfoSize; any other size fails with ERROR_INSUFFICIENT_BUFFER.
    virtual BOOL GetVersionExW(OsVersionInfoEx &info) = 0;

    // --- Registry ---------------------------------------------------------
    virtual LSTATUS RegOpenKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                                  HKEY *result) = 0;
    virtual LSTATUS RegCreateKeyExW(HKEY key, const char16_t *subKey, DWORD options, REGSAM sam,
                                    HKEY *result, DWORD *disposition) = 0;
    // `data` may be null to ask for the size; `type` and `dataSize` may be null.
    virtual LSTATUS RegQueryValueExW(HKEY key, const char16_t *valueName, DWORD *type, BYTE *data,
                                     DWORD *dataSize) = 0;
    virtual LSTATUS RegSetValueExW(HKEY key, const char16_t *valueName, DWORD type,
                                   const BYTE *data, DWORD dataSize) = 0;
    virtual LSTATUS RegDeleteKeyW(HKEY key, const char16_t *subKey) = 0;
    virtual LSTATUS RegDeleteValueW(HKEY key, const char16_t *valueName) = 0;
    // `nameSize` is in characters: in, the buffer; out, the name's length.
    virtual LSTATUS RegEnumKeyExW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize) = 0;
    virtual LSTATUS RegEnumValueW(HKEY key, DWORD index, char16_t *name, DWORD *nameSize,
                                  DWORD *type, BYTE *data, DWORD *dataSize) = 0;
    virtual LSTATUS RegCloseKey(HKEY key) = 0;

    // --- Files and system -------------------------------------------------
    // All take sizes in characters and return the length written, or the
    // size needed (with its terminator) when the buffer is too small, or 0.
    virtual DWORD GetModuleFileNameW(char16_t *buffer, DWORD size) = 0;
    virtual DWORD GetTempPathW(DWORD size, char16_t *buffer) = 0;
    virtual UINT GetWindowsDirectoryW(char16_t *buffer, UINT size) = 0;
    virtual UINT GetSystemDirectoryW(char16_t *buffer, UINT size) = 0;
    virtual DWORD GetCurrentDirectoryW(DWORD size, char16_t *buffer) = 0;
    virtual BOOL CopyFileW(const char16_t *existing, const char16_t *target, BOOL failIfExists) = 0;
    virtual HANDLE CreateFileW(const char16_t *path, DWORD access, DWORD shareMode,
                               DWORD creationDisposition, DWORD flagsAndAttributes) = 0;
    virtual BOOL WriteFile(HANDLE file, const void *data, DWORD size, DWORD *written) = 0;
    virtual BOOL DeleteFileW(const char16_t *path) = 0;
    virtual BOOL SetFileAttributesW(const char16_t *path, DWORD attributes) = 0;
    virtual DWORD GetFileAttributesW(const char16_t *path) = 0;
    virtual HANDLE FindFirstFileW(const char16_t *pattern, FindData *data) = 0;
    virtual BOOL FindNextFileW(HANDLE find, FindData *data) = 0;
    virtual BOOL FindClose(HANDLE find) = 0;
    virtual HLOCAL LocalAlloc(UINT flags, std::size_t bytes) = 0;
    virtual HLOCAL LocalFree(HLOCAL memory) = 0;

    // --- Processes --------------------------------------------------------
    // `commandLine` is modifiable, as CreateProcessW requires.
    virtual BOOL CreateProcessW(const char16_t *applicationName, char16_t *commandLine,
                                BOOL inheritHandles, DWORD creationFlags,
                                const StartupInfo *startupInfo, ProcessInformation *info) = 0;
    virtual DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
    virtual BOOL GetExitCodeProcess(HANDLE process, DWORD *exitCode) = 0;
    virtual HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId) = 0;
    virtual DWORD GetCurrentProcessId() = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    // Ends the process. The real call does not return; the simulated one
    // records the code and returns, and the caller then returns at once.
    virtual void ExitProcess(UINT exitCode) = 0;

    // --- Message box and clock ---------------------------------------------
    virtual int MessageBoxW(const char16_t *text, const char16_t *caption, UINT type) = 0;
    virtual void Sleep(DWORD milliseconds) = 0;
    virtual DWORD GetTickCount() = 0;

    // --- Device lists, properties and keys ---------------------------------
    virtual HDEVINFO SetupDiGetClassDevsW(const Guid *classGuid, const char16_t *enumerator,
                                          DWORD flags) = 0;
    virtual BOOL SetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList,
                                            DWORD guidListSize, DWORD *requiredSize) = 0;
    virtual BOOL SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, DevInfoData *data) = 0;
    virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) = 0;
    virtual BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO list, const DevInfoData *data,
                                                   DWORD property, DWORD *regType, BYTE *buffer,
                                                   DWORD bufferSize, DWORD *requiredSize) = 0;
    // Returns InvalidHandleValue() (as an HKEY) on failure.
    virtual HKEY SetupDiOpenDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope,
                                      DWORD hwProfile, DWORD keyType, REGSAM sam) = 0;
    virtual BOOL SetupDiDeleteDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope,
                                        DWORD hwProfile, DWORD keyType) = 0;

    // --- Class installer -----------------------------------------------------
    virtual BOOL SetupDiSetClassInstallParamsW(HDEVINFO list, const DevInfoData *data,
                                               const ClassInstallParams *params) = 0;
    virtual BOOL SetupDiCallClassInstaller(DWORD installFunction, HDEVINFO list,
                                           const DevInfoData *data) = 0;

    // --- Device tree ---------------------------------------------------------
    virtual CONFIGRET CM_Get_DevNode_Status(ULONG *status, ULONG *problem, DEVINST devInst,
                                            ULONG flags) = 0;
    virtual CONFIGRET CM_Connect_MachineW(const char16_t *machineName, HMACHINE *machine) = 0;
    virtual CONFIGRET CM_Locate_DevNode_ExW(DEVINST *devInst, const char16_t *deviceId, ULONG flags,
                                            HMACHINE machine) = 0;
    virtual CONFIGRET CM_Reenumerate_DevNode_Ex(DEVINST devInst, ULONG flags, HMACHINE machine) = 0;
    virtual CONFIGRET CM_Disconnect_Machine(HMACHINE machine) = 0;

    // --- Driver store and sources --------------------------------------------
    // `destinationSize` and `requiredSize` count characters.
    virtual BOOL SetupCopyOEMInfW(const char16_t *sourceInf, const char16_t *mediaLocation,
                                  DWORD mediaType, DWORD copyStyle, char16_t *destination,
                                  DWORD destinationSize, DWORD *requiredSize) = 0;
    virtual BOOL SetupAddToSourceListW(DWORD flags, const char16_t *source) = 0;
    virtual BOOL SetupRemoveFromSourceListW(DWORD flags, const char16_t *source) = 0;
    virtual BOOL UpdateDriverForPlugAndPlayDevicesW(const char16_t *hardwareId,
                                                    const char16_t *fullInfPath, DWORD flags,
                                                    BOOL *rebootRequired) = 0;

    // --- INF reading ---------------------------------------------------------
    // Returns InvalidHandleValue() on failure.
    virtual HINF SetupOpenInfFileW(const char16_t *fileName, const char16_t *infClass,
                                   DWORD infStyle, UINT *errorLine) = 0;
    virtual void SetupCloseInfFile(HINF inf) = 0;
    virtual BOOL SetupFindFirstLineW(HINF inf, const char16_t *section, const char16_t *key,
                                     InfContext *context) = 0;
    virtual BOOL SetupFindNextLine(const InfContext *contextIn, InfContext *contextOut) = 0;
    virtual BOOL SetupGetStringFieldW(const InfContext *context, DWORD fieldIndex, char16_t *buffer,
                                      DWORD bufferSize, DWORD *requiredSize) = 0;
    // A list of names, each ending in a zero, the list ending in a second zero.
    virtual BOOL SetupGetInfFileListW(const char16_t *directory, DWORD infStyle, char16_t *buffer,
                                      DWORD bufferSize, DWORD *requiredSize) = 0;

    // --- Services ----------------------------------------------------------------
    virtual SC_HANDLE OpenSCManagerW(const char16_t *machineName, const char16_t *databaseName,
                                     DWORD access) = 0;
    virtual SC_HANDLE OpenServiceW(SC_HANDLE manager, const char16_t *serviceName,
                                   DWORD access) = 0;
    // `bufferSize` and `bytesNeeded` are the byte counts of the real record.
    virtual BOOL QueryServiceConfigW(SC_HANDLE service, ServiceConfig *config, DWORD bufferSize,
                                     DWORD *bytesNeeded) = 0;
    virtual BOOL CloseServiceHandle(SC_HANDLE handle) = 0;
};

}  // namespace cvl
