// A stand-in for the system's newdev.dll, loaded from the program's folder
// when a test run sets WINEDLLOVERRIDES=newdev=n,b. Wine's own
// UpdateDriverForPlugAndPlayDevicesW answers TRUE for every id, matched or
// not; here each call is recorded, the ids of the devices the test made go on
// to Wine's function (so the INF's AddReg values are written), and every
// other id fails with ERROR_NO_SUCH_DEVINST, as Windows answers an id no
// present device carries. A test can also make every call fail with a chosen
// last error. With each call the driver-signing policy in force at that
// moment is recorded too, so a test can see what an install relaxed.
#include <windows.h>

#include <cwchar>

namespace {

// What the test asks for, under HKLM:
//   HarnessIds (REG_MULTI_SZ): the hardware ids handed on to Wine;
//   FailWith (REG_DWORD): when present, every call fails with this error;
//   Reboot (REG_DWORD): when nonzero, a successful call asks for a reboot.
constexpr wchar_t kAnswerKey[] = L"Software\\CvlWineTest\\UpdateDriver";
// Each call as a REG_SZ value "0001", "0002", ...: "id|INF path|flags|answer".
constexpr wchar_t kCallsKey[] = L"Software\\CvlWineTest\\UpdateDriverCalls";
// For each call, under the same value name: the "Policy" values of the
// machine and of the user, "HKLM=<type>:<hex bytes> HKCU=<type>:<hex bytes>",
// "none" for a value that is not there.
constexpr wchar_t kPoliciesKey[] = L"Software\\CvlWineTest\\SigningPolicyAtUpdate";
constexpr wchar_t kPolicyKey[] = L"Software\\Microsoft\\Driver Signing";

constexpr DWORD kNoSuchDevinst = 0xE000020B;

using UpdateFunction = BOOL(WINAPI *)(HWND, LPCWSTR, LPCWSTR, DWORD, PBOOL);

// This DLL takes the place of the system folder's newdev.dll, so Wine's own
// is loaded from where Debian's Wine keeps its Windows libraries (drive Z:
// is the host's root): a full path outside the system folder is a module of
// its own.
#ifdef _WIN64
constexpr wchar_t kWineNewdev[] =
    L"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows\\newdev.dll";
#else
constexpr wchar_t kWineNewdev[] = L"Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows\\newdev.dll";
#endif

UpdateFunction SystemUpdate() {
    static UpdateFunction function = [] {
        HMODULE newdev = LoadLibraryW(kWineNewdev);
        if (newdev == nullptr) return UpdateFunction{};
        return reinterpret_cast<UpdateFunction>(
            reinterpret_cast<void *>(GetProcAddress(newdev, "UpdateDriverForPlugAndPlayDevicesW")));
    }();
    return function;
}

bool ReadDword(const wchar_t *name, DWORD &value) {
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_LOCAL_MACHINE, kAnswerKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                        &size) == ERROR_SUCCESS;
}

// Windows compares hardware ids without regard to letter case.
bool IsHarnessId(const wchar_t *hardwareId) {
    wchar_t ids[4096] = {};
    DWORD size = sizeof(ids) - 2 * sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kAnswerKey, L"HarnessIds", RRF_RT_REG_MULTI_SZ, nullptr,
                     ids, &size) != ERROR_SUCCESS)
        return false;
    for (const wchar_t *id = ids; *id != L'\0'; id += lstrlenW(id) + 1) {
        if (lstrcmpiW(id, hardwareId) == 0) return true;
    }
    return false;
}

// "<type>:<hex bytes>" of one hive's policy value, or "none".
void DescribePolicy(HKEY hive, wchar_t *text, size_t capacity) {
    BYTE data[16] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof(data);
    if (RegGetValueW(hive, kPolicyKey, L"Policy", RRF_RT_ANY, &type, data, &size) !=
        ERROR_SUCCESS) {
        swprintf(text, capacity, L"none");
        return;
    }
    int written = swprintf(text, capacity, L"%lu:", static_cast<unsigned long>(type));
    for (DWORD i = 0; i < size && written > 0 && static_cast<size_t>(written) + 3 < capacity; ++i)
        written += swprintf(text + written, capacity - written, L"%02x", data[i]);
}

// Writes `line` as the next numbered value under `keyName`; the number is
// the one the caller gives, or the next free one when `number` is 0.
DWORD AppendNumbered(const wchar_t *keyName, DWORD number, const wchar_t *line) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    if (number == 0) {
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &number,
                         nullptr, nullptr, nullptr, nullptr);
        ++number;
    }
    wchar_t name[16] = {};
    swprintf(name, 16, L"%04lu", static_cast<unsigned long>(number));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(line),
                   static_cast<DWORD>((lstrlenW(line) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return number;
}

void Record(const wchar_t *hardwareId, const wchar_t *infPath, DWORD flags, const wchar_t *answer) {
    wchar_t line[2048] = {};
    swprintf(line, 2048, L"%ls|%ls|%lu|%ls", hardwareId ? hardwareId : L"(null)",
             infPath ? infPath : L"(null)", static_cast<unsigned long>(flags), answer);
    const DWORD number = AppendNumbered(kCallsKey, 0, line);
    if (number == 0) return;
    wchar_t machine[64] = {};
    wchar_t user[64] = {};
    DescribePolicy(HKEY_LOCAL_MACHINE, machine, 64);
    DescribePolicy(HKEY_CURRENT_USER, user, 64);
    swprintf(line, 2048, L"HKLM=%ls HKCU=%ls", machine, user);
    AppendNumbered(kPoliciesKey, number, line);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI
    UpdateDriverForPlugAndPlayDevicesW(HWND parent, LPCWSTR hardwareId, LPCWSTR fullInfPath,
                                       DWORD flags, PBOOL rebootRequired) {
    if (rebootRequired != nullptr) *rebootRequired = FALSE;
    DWORD failWith = 0;
    if (ReadDword(L"FailWith", failWith)) {
        wchar_t answer[32] = {};
        swprintf(answer, 32, L"fail 0x%08lX", static_cast<unsigned long>(failWith));
        Record(hardwareId, fullInfPath, flags, answer);
        SetLastError(failWith);
        return FALSE;
    }
    if (hardwareId == nullptr || !IsHarnessId(hardwareId)) {
        Record(hardwareId, fullInfPath, flags, L"no such device");
        SetLastError(kNoSuchDevinst);
        return FALSE;
    }
    const UpdateFunction update = SystemUpdate();
    if (update == nullptr) {
        Record(hardwareId, fullInfPath, flags, L"no system function");
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    BOOL reboot = FALSE;
    const BOOL updated = update(parent, hardwareId, fullInfPath, flags, &reboot);
    const DWORD error = GetLastError();
    DWORD forcedReboot = 0;
    if (updated && ReadDword(L"Reboot", forcedReboot) && forcedReboot != 0) reboot = TRUE;
    Record(hardwareId, fullInfPath, flags, updated ? L"updated" : L"failed by the system");
    if (rebootRequired != nullptr) *rebootRequired = reboot;
    SetLastError(updated ? ERROR_SUCCESS : error);
    return updated;
}

// The ANSI form, which the program calls on Windows 95, 98 and Me: the
// texts in the code page, recorded and handed on as the Unicode form's.
extern "C" __declspec(dllexport) BOOL WINAPI
    UpdateDriverForPlugAndPlayDevicesA(HWND parent, LPCSTR hardwareId, LPCSTR fullInfPath,
                                       DWORD flags, PBOOL rebootRequired) {
    wchar_t wideId[1024] = {};
    wchar_t widePath[MAX_PATH * 2] = {};
    if (hardwareId) MultiByteToWideChar(CP_ACP, 0, hardwareId, -1, wideId, 1024);
    if (fullInfPath) MultiByteToWideChar(CP_ACP, 0, fullInfPath, -1, widePath, MAX_PATH * 2);
    return UpdateDriverForPlugAndPlayDevicesW(parent, hardwareId ? wideId : nullptr,
                                              fullInfPath ? widePath : nullptr, flags,
                                              rebootRequired);
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(self);
    return TRUE;
}
