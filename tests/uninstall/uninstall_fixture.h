// A simulated machine with one run's state, for the uninstall steps.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "app/command_line.h"
#include "common/exit_code.h"
#include "common/family_code.h"
#include "common/os_kind.h"
#include "device/family_tables.h"
#include "support/devices.h"
#include "support/scenario.h"
#include "system/os_detect.h"

namespace cvl::test {

inline constexpr char16_t kInfDir[] = u"C:\\Windows\\INF\\";
inline constexpr char16_t kSystem32[] = u"C:\\Windows\\system32\\";
inline constexpr char16_t kNetworkClass[] =
    u"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Network\\{4d36e972-e325-11ce-bfc1-08002be10318}";
inline constexpr char16_t kSetupKey[] = u"HKLM\\Software\\CVLSetup";

// Makes the machine report the version Windows of that kind reports.
// Every kind the program knows, oldest last.
inline constexpr OsKind kKnownOsKinds[] = {OsNt6Later, OsNt60, OsNt5Later, OsNt50,
                                           OsNt4,      Os9xMe, Os9x98,     Os9x95};

inline void SetOsKind(sim::SimulatedPlatform &machine, OsKind kind) {
    struct Version {
        DWORD platformId, major, minor;
    };
    constexpr Version kVersions[] = {
        {0, 0, 0},
        {VER_PLATFORM_WIN32_NT, 6, 1},
        {VER_PLATFORM_WIN32_NT, 6, 0},
        {VER_PLATFORM_WIN32_NT, 5, 1},
        {VER_PLATFORM_WIN32_NT, 5, 0},
        {VER_PLATFORM_WIN32_NT, 4, 0},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0},
    };
    const Version &v = kVersions[static_cast<int>(kind)];
    machine.Setup().SetVersion(v.platformId, v.major, v.minor);
    EXPECT_EQ(OsKindFromVersion(v.platformId, v.major, v.minor), kind);
}

// An INF of the Windows 4 style whose first model has `hardwareId` and
// whose first string value is `firstString`.
inline std::string MakerInf(const std::string &hardwareId,
                            const std::string &firstString = "Corvane") {
    return "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\nClass=Net\r\n"
           "[Manufacturer]\r\n%Maker%=Models\r\n"
           "[Models]\r\n%Desc%=Install, " +
           hardwareId +
           "\r\n"
           "[Strings]\r\nMaker=\"" +
           firstString + "\"\r\nDesc=\"Adapter\"\r\n";
}

// Every key and value of a hive, to compare a machine before and after.
inline std::map<std::u16string, std::string> RegistryDump(const sim::SimulatedPlatform &machine,
                                                          const std::u16string &key = u"HKLM") {
    std::map<std::u16string, std::string> dump;
    dump[key] = "";
    for (const auto &[name, value] : machine.Setup().RegValues(key))
        dump[key + u":" + name] =
            std::to_string(value.type) + ":" + std::string(value.data.begin(), value.data.end());
    for (const auto &subkey : machine.Setup().RegSubkeyNames(key)) {
        auto below = RegistryDump(machine, key + u"\\" + subkey);
        dump.insert(below.begin(), below.end());
    }
    return dump;
}

class UninstallFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCommandLineLists(state);
        state.osKind = OsNt6Later;
        OpenInstallLog(state.log);
    }
    void UseOsKind(OsKind kind) {
        SetOsKind(machine, kind);
        state.osKind = kind;
    }
    std::string Log() {
        CloseInstallLog(state.log);
        return machine.Setup().ReadFileContents(kLogPath).value_or("");
    }
    // Handles the steps left open: the run's own log is not one of them.
    std::size_t OpenHandles() const {
        return machine.Setup().OpenHandleCount() - (state.log.logFile != nullptr ? 1 : 0);
    }
    std::u16string Inf(std::u16string_view name) { return kInfDir + std::u16string(name); }

    sim::SimulatedPlatform machine;
    RunState state{machine};
    InstallOptions options;
};

}  // namespace cvl::test
