// Last error, version report, system paths and memory.
#include <string>

#include "checks.h"
#include "common/text.h"

namespace cvl::probe {

void CheckLastErrorAndVersion(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;

    platform.SetLastError(0x1234ABCDu);
    checks.ExpectNumber(platform.GetLastError(), 0x1234ABCDu, "the last error set is read back");

    struct VersionCase {
        const char *what;
        DWORD size;
        bool accepted;
    };
    const VersionCase cases[] = {
        {"version report, extended record", kOsVersionInfoExSize, true},
        {"version report, plain record", kOsVersionInfoSize, true},
        {"version report, record of another size", kOsVersionInfoSize - 4, false},
    };
    for (const auto &row : cases) {
        OsVersionInfoEx info{};
        info.dwOSVersionInfoSize = row.size;
        platform.SetLastError(0);
        const BOOL ok = platform.GetVersionExW(info);
        if (!row.accepted) {
            // Windows also sets ERROR_INSUFFICIENT_BUFFER; Wine 8 leaves the
            // last error alone, so only the refusal is checked.
            checks.Expect(!ok, row.what, "accepted");
            continue;
        }
        checks.Expect(ok != 0, row.what, "refused");
        checks.ExpectNumber(info.dwPlatformId, VER_PLATFORM_WIN32_NT, row.what);
        checks.Expect(info.dwMajorVersion >= 5, row.what, "no major version");
        checks.ExpectNumber(info.dwOSVersionInfoSize, row.size, "the size field is kept");
    }

    // The tail of the extended record lands where our record has it: a
    // workstation reports product type 1, and the plain record leaves the
    // tail alone.
    OsVersionInfoEx extended{};
    extended.dwOSVersionInfoSize = kOsVersionInfoExSize;
    platform.GetVersionExW(extended);
    checks.ExpectNumber(extended.wProductType, 1, "extended record, product type");
    OsVersionInfoEx plain{};
    plain.dwOSVersionInfoSize = kOsVersionInfoSize;
    plain.wProductType = 0x5A;
    platform.GetVersionExW(plain);
    checks.ExpectNumber(plain.wProductType, 0x5A, "plain record, tail untouched");
}

void CheckSystemPaths(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;

    char16_t windows[260] = {};
    const UINT windowsLength = platform.GetWindowsDirectoryW(windows, 260);
    checks.Expect(windowsLength > 3 && windows[windowsLength] == 0, "windows directory");
    char16_t system[260] = {};
    const UINT systemLength = platform.GetSystemDirectoryW(system, 260);
    checks.ExpectText(LoweredAZ(std::u16string(system, systemLength)),
                      LoweredAZ(std::u16string(windows, windowsLength) + u"\\system32"),
                      "system directory lies in the windows directory");

    // The size protocols: a buffer too small gives the size needed with its
    // terminator; a buffer that fits gives the length without it.
    const DWORD tempNeeded = platform.GetTempPathW(0, nullptr);
    char16_t temp[260] = {};
    const DWORD tempLength = platform.GetTempPathW(260, temp);
    checks.ExpectNumber(tempNeeded, tempLength + 1, "temporary path, size asked first");
    checks.Expect(tempLength > 0 && temp[tempLength - 1] == u'\\',
                  "temporary path ends with a backslash");
    const DWORD currentNeeded = platform.GetCurrentDirectoryW(0, nullptr);
    char16_t current[260] = {};
    checks.ExpectNumber(platform.GetCurrentDirectoryW(260, current) + 1, currentNeeded,
                        "current directory, size asked first");

    // A module path cut to the buffer reports the buffer's size.
    char16_t cut[4] = {};
    checks.ExpectNumber(platform.GetModuleFileNameW(cut, 4), 4, "module path cut to the buffer");
    char16_t own[260] = {};
    const DWORD ownLength = platform.GetModuleFileNameW(own, 260);
    checks.ExpectText(std::u16string_view(own, ownLength), context.ownPath, "module path");

    auto *memory = static_cast<unsigned char *>(platform.LocalAlloc(LPTR, 64));
    bool zeroed = memory != nullptr;
    for (int i = 0; zeroed && i < 64; ++i) zeroed = memory[i] == 0;
    checks.Expect(zeroed, "LPTR memory is zeroed");
    checks.Expect(platform.LocalFree(memory) == nullptr, "memory is freed");

    const DWORD before = platform.GetTickCount();
    platform.Sleep(100);
    const DWORD slept = platform.GetTickCount() - before;
    checks.Expect(slept >= 50 && slept < 5000, "the tick count follows a sleep");
}

}  // namespace cvl::probe
