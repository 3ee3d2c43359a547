#include "system/os_detect.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl {
namespace {

using sim::Op;

struct VersionCase {
    DWORD platformId;
    DWORD major;
    DWORD minor;
    OsKind kind;
};

constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;

TEST(OsDetectTest, ReportedVersionsMapToTheirGeneration) {
    const std::vector<VersionCase> cases = {
        {kNt, 7, 0, OsUnsupported},
        {kNt, 10, 0, OsUnsupported},
        {kNt, 6, 3, OsNt6Later},
        {kNt, 6, 2, OsNt6Later},
        {kNt, 6, 1, OsNt6Later},
        {kNt, 6, 0, OsNt60},
        {kNt, 5, 2, OsNt5Later},
        {kNt, 5, 1, OsNt5Later},
        {kNt, 5, 0, OsNt50},
        {kNt, 4, 0, OsNt4},
        {kNt, 3, 51, OsNt4},
        {k9x, 5, 0, Os9xMe},
        {k9x, 4, 90, Os9xMe},
        {k9x, 4, 11, Os9xMe},
        {k9x, 4, 10, Os9x98},
        {k9x, 4, 1, Os9x98},
        {k9x, 4, 0, Os9x95},
        {k9x, 3, 95, Os9x95},
        {VER_PLATFORM_WIN32s, 3, 11, OsUnsupported},
        {3, 6, 1, OsUnsupported},
    };
    sim::SimulatedPlatform platform;
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.platformId << " " << c.major << "." << c.minor);
        platform.Setup().SetVersion(c.platformId, c.major, c.minor);
        EXPECT_EQ(DetectOsKind(platform), c.kind);
        EXPECT_EQ(OsKindFromVersion(c.platformId, c.major, c.minor), c.kind);
    }
}

// Records the size each call asks for and what the record held on entry;
// the first call can be made to fail after scribbling over the record, as
// a system that knows only the plain record may leave it.
class RecordingPlatform : public sim::SimulatedPlatform {
public:
    BOOL GetVersionExW(OsVersionInfoEx &info) override {
        sizes.push_back(info.dwOSVersionInfoSize);
        zeroedOnEntry.push_back(info.dwMajorVersion == 0 && info.dwMinorVersion == 0 &&
                                info.dwPlatformId == 0 && info.dwBuildNumber == 0);
        if (sizes.size() == 1 && scribbleAndFailFirst) {
            info.dwMajorVersion = 9;
            info.dwMinorVersion = 9;
            info.dwPlatformId = kNt;
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return SimulatedPlatform::GetVersionExW(info);
    }

    bool scribbleAndFailFirst = false;
    std::vector<DWORD> sizes;
    std::vector<bool> zeroedOnEntry;
};

TEST(OsDetectTest, AsksForTheExtendedRecordFirst) {
    RecordingPlatform platform;
    platform.Setup().SetVersion(kNt, 5, 1);
    EXPECT_EQ(DetectOsKind(platform), OsNt5Later);
    EXPECT_EQ(platform.sizes, std::vector<DWORD>{kOsVersionInfoExSize});
    EXPECT_EQ(platform.zeroedOnEntry, std::vector<bool>{true});
}

TEST(OsDetectTest, FallsBackToThePlainRecordOnAZeroedRecord) {
    RecordingPlatform platform;
    platform.scribbleAndFailFirst = true;
    platform.Setup().SetVersion(k9x, 4, 10);
    EXPECT_EQ(DetectOsKind(platform), Os9x98);
    EXPECT_EQ(platform.sizes, (std::vector<DWORD>{kOsVersionInfoExSize, kOsVersionInfoSize}));
    EXPECT_EQ(platform.zeroedOnEntry, (std::vector<bool>{true, true}));
}

TEST(OsDetectTest, InjectedFailuresOfTheVersionReport) {
    struct Case {
        std::uint32_t failingCall;  // 0: every call
        OsKind kind;
    };
    // The first call failing leaves the plain record to answer; the second
    // call is never made when the first succeeds.
    for (const Case c : {Case{1, OsNt60}, Case{2, OsNt60}, Case{0, OsUnsupported}}) {
        SCOPED_TRACE(c.failingCall);
        sim::SimulatedPlatform platform;
        platform.Setup().SetVersion(kNt, 6, 0);
        platform.Setup().Fail(Op::GetVersionExW, ERROR_INVALID_PARAMETER, c.failingCall);
        EXPECT_EQ(DetectOsKind(platform), c.kind);
    }
}

}  // namespace
}  // namespace cvl
