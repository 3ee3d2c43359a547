// The contract cases on the real machine. Each case gets its own scratch
// key and folder, named after it and removed after it, made and removed
// with the Win32 API directly so that the layer under test plays no part.
#include "win32_contract_machine.h"

#include <string>
#include <utility>

#include "contract_machine.h"
#include "platform/win32/text_forms.h"
#include "platform/win32/win32_platform.h"

// clang-format off
#include <windows.h>
// clang-format on

// The scratch helpers stay outside our namespace, where the <windows.h>
// macros mean the Win32 types.
namespace {

constexpr wchar_t kScratchRoot[] = L"Software\\CvlContract";

std::wstring Wide(const std::u16string &text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string CurrentCaseName() {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
    for (char &c : name)
        if (c == '/') c = '.';
    return std::u16string(name.begin(), name.end());
}

bool RunsOnWine() {
    // Wine's ntdll exports its version; Windows' does not.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void EmptyFolder(const std::wstring &folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        const std::wstring path = folder + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A case's own folders, one level deep.
            if (name == L"." || name == L"..") continue;
            EmptyFolder(path + L"\\");
            RemoveDirectoryW(path.c_str());
            continue;
        }
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void MakeScratch(const std::u16string &key, const std::u16string &folder) {
    HKEY made = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, Wide(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &made, nullptr);
    if (made) RegCloseKey(made);
    CreateDirectoryW(Wide(folder).c_str(), nullptr);
}

void RemoveScratch(const std::u16string &key, const std::u16string &folder) {
    RegDeleteTreeW(HKEY_CURRENT_USER, Wide(key).c_str());
    EmptyFolder(Wide(folder));
    RemoveDirectoryW(Wide(folder).c_str());
}

}  // namespace

namespace cvl::contract {
namespace {

HarnessSettings &Settings() {
    static HarnessSettings settings;
    return settings;
}

class Win32ContractMachine final : public ContractMachine {
public:
    Win32ContractMachine()
        : scratchKey_(std::u16string(kScratchRoot, kScratchRoot + wcslen(kScratchRoot)) + u"\\" +
                      CurrentCaseName()),
          scratchFolder_(Settings().workFolder + CurrentCaseName() + u"\\") {
        RemoveScratch(scratchKey_, scratchFolder_);
        MakeScratch(scratchKey_, scratchFolder_);
    }
    ~Win32ContractMachine() override { RemoveScratch(scratchKey_, scratchFolder_); }

    Platform &platform() override { return platform_; }
    bool OnWine() const override { return onWine_; }
    std::u16string ScratchKey() const override { return scratchKey_; }
    std::u16string ScratchFolder() const override { return scratchFolder_; }
    std::u16string OwnPath() const override {
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        return std::u16string(path, path + length);
    }
    std::u16string DeviceHardwareId() const override { return Settings().deviceHardwareId; }
    std::u16string RemovableDeviceHardwareId() const override {
        return Settings().removableDeviceHardwareId;
    }
    std::u16string ServiceName() const override { return Settings().serviceName; }
    std::u16string ServiceBinaryPath() const override { return Settings().serviceBinaryPath; }
    ChildProgram Child() const override {
        const std::u16string self = OwnPath();
        const std::string mode = kExitWithMode;
        const std::string code = std::to_string(kChildExitCode);
        return {self,
                u"\"" + self + u"\" " + std::u16string(mode.begin(), mode.end()) + u" " +
                    std::u16string(code.begin(), code.end()),
                kChildExitCode};
    }

    bool AddSecondName(const std::u16string &path, const std::u16string &existing) override {
        return CreateHardLinkW(Wide(path).c_str(), Wide(existing).c_str(), nullptr) != FALSE;
    }
    bool AddFolder(const std::u16string &path) override {
        return CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE;
    }
    std::optional<unsigned> AnsiCodePage() const override {
        if (!win32::UsesAnsiForms()) return std::nullopt;
        return GetACP();
    }

private:
    Win32Platform platform_;
    bool onWine_ = RunsOnWine();
    std::u16string scratchKey_;
    std::u16string scratchFolder_;
};

}  // namespace

void UseHarnessSettings(HarnessSettings settings) {
    Settings() = std::move(settings);
}

std::unique_ptr<ContractMachine> MakeContractMachine() {
    return std::make_unique<Win32ContractMachine>();
}

}  // namespace cvl::contract
