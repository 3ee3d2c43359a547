// INF reading and the driver store through the real layer.
#include <string>
#include <vector>

#include "checks.h"
#include "install/driver_package.h"
#include "run/run_state.h"

namespace cvl::probe {
namespace {

constexpr char kInfText[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Net\r\n"
    "ClassGuid={4d36e972-e325-11ce-bfc1-08002be10318}\r\n"
    "Provider=%Maker%\r\n"
    "DriverVer=05/07/2016,8.045.0507.2016\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Maker=\"Corvane\"\r\n";

bool WriteWholeFile(Platform &platform, const std::u16string &path, const char *text, DWORD size) {
    HANDLE file =
        platform.CreateFileW(path.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
    if (file == InvalidHandleValue()) return false;
    DWORD written = 0;
    const bool ok = platform.WriteFile(file, text, size, &written) && written == size;
    platform.CloseHandle(file);
    return ok;
}

std::u16string Field(Platform &platform, const InfContext &line, DWORD index) {
    char16_t text[128] = {};
    DWORD needed = 0;
    if (!platform.SetupGetStringFieldW(&line, index, text, 128, &needed)) return u"<none>";
    return text;
}

// Package INFs and the version the install flows take from each: Wine's
// parser trims blanks around fields and drops comments.
struct PackageInf {
    const char *name;
    const char *text;
    const char16_t *version;
};

constexpr PackageInf kPackageInfs[] = {
    {"blanks around the fields",
     "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\n"
     "DriverVer = 05/07/2016, 8.045.0507.2016\r\n",
     u"8.45.507.2016"},
    {"a comment after the version",
     "[version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\nProvider=Corvane\r\n"
     "DriverVer=11/15/2016,10.013.1115.2016 ; release build\r\n",
     u"10.13.1115.2016"},
    {"no DriverVer line", "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Net\r\n", u""},
};

}  // namespace

void CheckPackageVersion(ProbeContext &context) {
    Platform &platform = context.platform;
    const std::u16string path = context.workDirectory + u"cvlpackage.inf";
    for (const PackageInf &inf : kPackageInfs) {
        const std::string what = std::string("package version, ") + inf.name;
        if (!WriteWholeFile(platform, path, inf.text, std::char_traits<char>::length(inf.text))) {
            context.checks.Expect(false, what, "the INF could not be written");
            continue;
        }
        RunState state(platform);
        state.PackageInfPath = path;
        LoadPackageDriverVersion(platform, state);
        context.checks.ExpectText(state.PackageDriverVersion, inf.version, what);
        platform.DeleteFileW(path.c_str());
    }
}

void CheckInfReading(ProbeContext &context) {
    Platform &platform = context.platform;
    Checks &checks = context.checks;
    // The work folder holds no other INF.
    const std::u16string folder = context.workDirectory;
    const std::u16string path = folder + u"cvlprobe.inf";
    checks.Expect(WriteWholeFile(platform, path, kInfText, sizeof(kInfText) - 1), "write the INF");

    UINT errorLine = 0;
    HINF inf = platform.SetupOpenInfFileW(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    checks.Expect(inf != InvalidHandleValue(), "open the INF");

    InfContext line{};
    checks.Expect(platform.SetupFindFirstLineW(inf, u"Version", u"DriverVer", &line) != 0,
                  "find a line by key");
    checks.ExpectText(Field(platform, line, 1), u"05/07/2016", "first field");
    checks.ExpectText(Field(platform, line, 2), u"8.045.0507.2016", "second field");
    DWORD needed = 0;
    checks.Expect(platform.SetupGetStringFieldW(&line, 2, nullptr, 0, &needed) != 0,
                  "field size asked without a buffer");
    checks.ExpectNumber(needed, 16, "field size in characters with the terminator");
    char16_t small[4] = {};
    platform.SetLastError(0);
    checks.Expect(!platform.SetupGetStringFieldW(&line, 2, small, 4, &needed),
                  "field read into a buffer too small");
    checks.ExpectNumber(platform.GetLastError(), ERROR_INSUFFICIENT_BUFFER,
                        "field read into a buffer too small, last error");

    InfContext provider{};
    platform.SetupFindFirstLineW(inf, u"Version", u"Provider", &provider);
    checks.ExpectText(Field(platform, provider, 1), u"Corvane", "strings are substituted");

    InfContext first{};
    InfContext next{};
    platform.SetupFindFirstLineW(inf, u"Version", nullptr, &first);
    checks.Expect(platform.SetupFindNextLine(&first, &next) != 0, "next line of a section");
    checks.ExpectText(Field(platform, next, 1), u"Net", "next line is the second line");
    checks.Expect(!platform.SetupFindFirstLineW(inf, u"NoSuchSection", nullptr, &first),
                  "a missing section has no lines");
    platform.SetupCloseInfFile(inf);

    DWORD listSize = 0;
    checks.Expect(
        platform.SetupGetInfFileListW(folder.c_str(), INF_STYLE_WIN4, nullptr, 0, &listSize) != 0,
        "INF list size asked without a buffer");
    std::vector<char16_t> list(listSize + 1);
    checks.Expect(platform.SetupGetInfFileListW(folder.c_str(), INF_STYLE_WIN4, list.data(),
                                                listSize, nullptr) != 0,
                  "INF list");
    checks.ExpectText(list.data(), u"cvlprobe.inf", "the INF is listed by name");

    char16_t published[260] = {};
    DWORD publishedSize = 0;
    checks.Expect(platform.SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_NONE, 0, published, 260,
                                            &publishedSize) != 0,
                  "copy the INF into the store");
    checks.ExpectNumber(publishedSize, std::u16string_view(published).size() + 1,
                        "published name size in characters with the terminator");
    checks.Expect(platform.GetFileAttributesW(published) != INVALID_FILE_ATTRIBUTES,
                  "the published INF exists");
    char16_t again[260] = {};
    platform.SetupCopyOEMInfW(path.c_str(), nullptr, SPOST_NONE, 0, again, 260, nullptr);
    checks.ExpectText(again, published, "an identical INF keeps its published name");
}

}  // namespace cvl::probe
