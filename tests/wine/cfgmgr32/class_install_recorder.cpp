#include "class_install_recorder.h"

#include <setupapi.h>

#include <cstdio>
#include <cstring>

namespace {

using SetParamsFunction = BOOL(WINAPI *)(HDEVINFO, PSP_DEVINFO_DATA, PSP_CLASSINSTALL_HEADER,
                                         DWORD);

using GetProcAddressFunction = FARPROC(WINAPI *)(HMODULE, LPCSTR);

SetParamsFunction systemSetParams = nullptr;
GetProcAddressFunction systemGetProcAddress = nullptr;
wchar_t recordPath[MAX_PATH] = {};

void AppendRecord(const char *line) {
    HANDLE file = CreateFileW(recordPath, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    CloseHandle(file);
}

void Record(HDEVINFO list, PSP_DEVINFO_DATA device, PSP_CLASSINSTALL_HEADER header, DWORD size) {
    char instanceId[256] = "<none>";
    if (device != nullptr &&
        !SetupDiGetDeviceInstanceIdA(list, device, instanceId, sizeof(instanceId), nullptr))
        std::snprintf(instanceId, sizeof(instanceId), "<error %lu>", GetLastError());
    char line[512];
    int length = std::snprintf(line, sizeof(line), "%s function=0x%lx size=%lu", instanceId,
                               header != nullptr ? header->InstallFunction : 0UL, size);
    if (header != nullptr && header->InstallFunction == DIF_PROPERTYCHANGE &&
        size >= sizeof(SP_PROPCHANGE_PARAMS)) {
        const auto *change = reinterpret_cast<const SP_PROPCHANGE_PARAMS *>(header);
        length +=
            std::snprintf(line + length, sizeof(line) - length, " state=%lu scope=%lu profile=%lu",
                          change->StateChange, change->Scope, change->HwProfile);
    }
    std::snprintf(line + length, sizeof(line) - length, "\r\n");
    AppendRecord(line);
}

// Node status as the test cfgmgr32.dll reports it, by instance id.
constexpr wchar_t kStatusKey[] = L"Software\\CvlWineTest\\DevNodeStatus";
// When this REG_DWORD under the status key is nonzero, a property change also
// sets the node status it asks for, as Windows would after the class
// installer ran; Wine itself switches nothing.
constexpr wchar_t kCarryOutValue[] = L"CarryOutSwitches";
constexpr DWORD kSwitchedOff = 0x01802000;  // disableable, NT enumerator and driver
constexpr DWORD kRunning = 0x0180200A;      // the same, loaded and started

void CarryOut(HDEVINFO list, PSP_DEVINFO_DATA device, PSP_CLASSINSTALL_HEADER header, DWORD size) {
    if (device == nullptr || header == nullptr || header->InstallFunction != DIF_PROPERTYCHANGE ||
        size < sizeof(SP_PROPCHANGE_PARAMS))
        return;
    DWORD carryOut = 0;
    DWORD valueSize = sizeof(carryOut);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kStatusKey, kCarryOutValue, RRF_RT_REG_DWORD, nullptr,
                     &carryOut, &valueSize) != ERROR_SUCCESS ||
        carryOut == 0)
        return;
    const auto *change = reinterpret_cast<const SP_PROPCHANGE_PARAMS *>(header);
    DWORD status = 0;
    if (change->StateChange == DICS_ENABLE) {
        status = kRunning;
    } else if (change->StateChange == DICS_DISABLE) {
        status = kSwitchedOff;
    } else {
        return;
    }
    wchar_t instanceId[256] = {};
    if (!SetupDiGetDeviceInstanceIdW(list, device, instanceId, 256, nullptr)) return;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kStatusKey, instanceId, REG_DWORD, &status, sizeof(status));
}

BOOL WINAPI RecordingSetParams(HDEVINFO list, PSP_DEVINFO_DATA device,
                               PSP_CLASSINSTALL_HEADER header, DWORD size) {
    const DWORD lastError = GetLastError();
    Record(list, device, header, size);
    CarryOut(list, device, header, size);
    SetLastError(lastError);
    return systemSetParams(list, device, header, size);
}

// cvlsetup.exe binds setupapi's calls by name when it first makes them (the
// test cfgmgr32.dll is loaded before its first switch); the recorder hands
// out itself for the one call it records, in either form.
FARPROC WINAPI RecordingGetProcAddress(HMODULE module, LPCSTR name) {
    const FARPROC found = systemGetProcAddress(module, name);
    // Both forms take the same records: the requests carry no text.
    if (found == nullptr || IS_INTRESOURCE(name) ||
        (std::strcmp(name, "SetupDiSetClassInstallParamsW") != 0 &&
         std::strcmp(name, "SetupDiSetClassInstallParamsA") != 0))
        return found;
    systemSetParams = reinterpret_cast<SetParamsFunction>(reinterpret_cast<void *>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void *>(&RecordingSetParams));
}

// The import-address slot of `function` from `dll` in `module`, or null.
ULONG_PTR *ImportSlot(HMODULE module, const char *dll, const char *function) {
    auto *base = reinterpret_cast<BYTE *>(module);
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *headers = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto *entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char *>(base + entry->Name), dll) != 0) continue;
        const DWORD namesAt =
            entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + namesAt);
        auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto *byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0)
                return reinterpret_cast<ULONG_PTR *>(&slots->u1.Function);
        }
    }
    return nullptr;
}

}  // namespace

void StartRecordingClassInstallParams() {
    // The record goes beside the program: this DLL sits in the system folder.
    const DWORD length = GetModuleFileNameW(nullptr, recordPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    wchar_t *folderEnd = wcsrchr(recordPath, L'\\');
    if (folderEnd == nullptr || (folderEnd - recordPath) + 32 >= MAX_PATH) return;
    lstrcpyW(folderEnd + 1, L"class-install-params.txt");

    ULONG_PTR *slot = ImportSlot(GetModuleHandleW(nullptr), "kernel32.dll", "GetProcAddress");
    if (slot == nullptr) return;
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection)) return;
    systemGetProcAddress = reinterpret_cast<GetProcAddressFunction>(*slot);
    *slot = reinterpret_cast<ULONG_PTR>(&RecordingGetProcAddress);
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
}
