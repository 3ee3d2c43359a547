// A Windows machine in memory, behind the same interface as the real one.
// Tests and the host runner seed it with the helpers below, run the logic
// against it and read back what changed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cvl::sim {

// One registry value as stored: its type and raw bytes.
struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// A started process as the simulation remembers it.
struct ProcessRecord {
    DWORD processId = 0;
    std::u16string applicationName;  // empty when none was given
    std::u16string commandLine;
    std::u16string imagePath;  // the executable the command line resolved to
    StartupInfo startupInfo{};
    bool running = true;
    DWORD exitCode = STILL_ACTIVE;
};

struct MessageBoxRecord {
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
};

// Runs one simulated program start: the platform already shows the child as
// the current process (its id, its own module path); `commandTail` is what
// follows the program name. Returns the exit code.
using ProgramEntry = std::function<DWORD(Platform &platform, std::u16string commandTail)>;

class SimulatedPlatform;

// Makes chosen calls fail. `operation` is the Win32 name of the call, as in
// Platform ("RegCreateKeyExW"). `nth` counts calls of that operation from
// 1; 0 means every call. A failing call returns its failure result and sets
// the last error (or returns the error code, for the registry and CM calls).
struct FaultRule {
    std::string operation;
    DWORD error = 0;
    std::uint32_t nth = 0;
    std::uint32_t remaining = 0xFFFFFFFFu;  // how many more times it fires
};

class SimulatedPlatform : public Platform {
public:
    SimulatedPlatform();
    ~SimulatedPlatform() override;

    // --- Seeding and reading back -----------------------------------------
    // Version report.
    void SetVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build = 0,
                    std::u16string servicePack = u"");

    // Registry paths are "HKLM\\Software\\X" or "HKCU\\..." (also the long
    // hive names). Keys are created with every missing parent.
    void SetRegValue(std::u16string_view keyPath, std::u16string_view name, DWORD type,
                     std::vector<BYTE> data);
    void SetRegString(std::u16string_view keyPath, std::u16string_view name,
                      std::u16string_view text, DWORD type = REG_SZ);
    void SetRegDword(std::u16string_view keyPath, std::u16string_view name, DWORD value);
    void CreateRegKey(std::u16string_view keyPath);
    bool RegKeyExists(std::u16string_view keyPath) const;
    std::optional<RegValue> GetRegValue(std::u16string_view keyPath,
                                        std::u16string_view name) const;
    // The string held by a REG_SZ/REG_EXPAND_SZ value, up to its first zero.
    std::optional<std::u16string> GetRegString(std::u16string_view keyPath,
                                               std::u16string_view name) const;
    std::optional<DWORD> GetRegDword(std::u16string_view keyPath, std::u16string_view name) const;

    // Files: Windows paths ("C:\\setup\\cvlsetup.exe"); drive letters fold
    // case, as do all names. Parents are created as needed.
    void AddFile(std::u16string_view path, std::string contents, DWORD attributes = FILE_ATTRIBUTE_ARCHIVE);
    void AddDirectory(std::u16string_view path);
    bool FileExists(std::u16string_view path) const;
    bool DirectoryExists(std::u16string_view path) const;
    std::optional<std::string> ReadFileContents(std::u16string_view path) const;
    std::optional<DWORD> FileAttributes(std::u16string_view path) const;
    // Every file, as full paths with their contents, in a stable order.
    std::map<std::u16string, std::string> AllFiles() const;

    void SetCurrentDirectory(std::u16string_view path);
    void SetWindowsDirectory(std::u16string_view path);  // system dir is <windows>\system32
    void SetTempPath(std::u16string_view path);           // kept with its trailing backslash
    // The program that runs first: its path, its contents, and its id.
    void SetProgram(std::u16string_view modulePath, DWORD processId = 1000);

    // Processes.
    // What a started executable that is not a copy of the program does:
    // it ends at once with this exit code. Unknown executables fail to start
    // with ERROR_FILE_NOT_FOUND.
    void SetToolExitCode(std::u16string_view imagePath, DWORD exitCode);
    const std::vector<ProcessRecord> &Processes() const;
    // Ends the process that is running now with its exit code, releases
    // its handles (delete-on-close happens then), and runs every started
    // process whose image holds the program's contents, one after the other,
    // through `entry`, each with its own id and module path.
    void FinishRunAndStartChildren(DWORD exitCode, const ProgramEntry &entry);
    // Makes a process id known as ended or still running, for tests of
    // waiting on another process.
    void AddForeignProcess(DWORD processId, bool running);
    // The exit code given to ExitProcess by the current run, if any.
    std::optional<UINT> ExitProcessCode() const;
    DWORD CurrentProcessId() const;

    // Message box.
    void SetMessageBoxAnswer(int answer);
    const std::vector<MessageBoxRecord> &MessageBoxes() const;

    // Virtual clock.
    DWORD Now() const;
    void SetTickCount(DWORD ticks);
    const std::vector<DWORD> &Sleeps() const;

    // The CM rescan calls that were accepted, in order ("connect",
    // "locate", "reenumerate:<flags>", "disconnect").
    const std::vector<std::string> &DeviceTreeCalls() const;

    // Fault injection.
    void Fail(std::string operation, DWORD error, std::uint32_t nth = 0);
    void ClearFaults();

    // Handles still open (keys, files, finds, processes, lists); a test
    // checks that an operation released everything it opened.
    std::size_t OpenHandleCount() const;

    // --- Platform ---------------------------------------------------------
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
    BOOL CreateProcessW(const char16_t *applicationName, char16_t *commandLine,
                        BOOL inheritHandles, DWORD creationFlags, const StartupInfo *startupInfo,
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
    BOOL SetupDiClassGuidsFromNameW(const char16_t *className, Guid *guidList,
                                    DWORD guidListSize, DWORD *requiredSize) override;
    BOOL SetupDiEnumDeviceInfo(HDEVINFO list, DWORD index, DevInfoData *data) override;
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO list) override;
    BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO list, const DevInfoData *data, DWORD property,
                                           DWORD *regType, BYTE *buffer, DWORD bufferSize,
                                           DWORD *requiredSize) override;
    HKEY SetupDiOpenDevRegKey(HDEVINFO list, const DevInfoData *data, DWORD scope,
                              DWORD hwProfile, DWORD keyType, REGSAM sam) override;
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
    BOOL SetupCopyOEMInfW(const char16_t *sourceInf, const char16_t *mediaLocation,
                          DWORD mediaType, DWORD copyStyle, char16_t *destination,
                          DWORD destinationSize, DWORD *requiredSize) override;
    BOOL SetupAddToSourceListW(DWORD flags, const char16_t *source) override;
    BOOL SetupRemoveFromSourceListW(DWORD flags, const char16_t *source) override;
    BOOL UpdateDriverForPlugAndPlayDevicesW(const char16_t *hardwareId,
                                            const char16_t *fullInfPath, DWORD flags,
                                            BOOL *rebootRequired) override;
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

private:
    struct Machine;
    std::unique_ptr<Machine> machine_;
};

}  // namespace cvl::sim
