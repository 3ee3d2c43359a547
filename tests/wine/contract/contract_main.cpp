// The contract cases against the real platform layer, as a console program
// for Wine (or Windows). Besides the cases it serves the harness and the
// cases themselves with a few small jobs:
//
//   cvl_platform_contract_tests [gtest flags] [--ansi-forms] --device=ID
//       --removable-device=ID --service=NAME --service-path=PATH
//       --work=FOLDER (ending in a backslash)
//
// --ansi-forms makes the layer call the ANSI forms it calls on Windows 95,
// 98 and Me, so that their conversions run on any system.
//   cvl_platform_contract_tests exit-with N           ends with N
//   cvl_platform_contract_tests print-pid             prints its process id
//   cvl_platform_contract_tests class-install-requests
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "class_install_requests.h"
#include "common/text.h"
#include "platform/win32/library_search.h"
#include "platform/win32/text_forms_state.h"
#include "platform/win32/win32_platform.h"
#include "win32_contract_machine.h"

namespace {

constexpr std::string_view kAnsiFormsOption = "--ansi-forms";

// Takes "--name=value" into `field`; false when the argument is another.
bool TakeOption(std::string_view argument, std::string_view name, std::u16string &field) {
    if (argument.substr(0, name.size()) != name) return false;
    field = cvl::FromUtf8(argument.substr(name.size()));
    return true;
}

bool ParseSettings(int argc, char **argv, cvl::contract::HarnessSettings &settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!TakeOption(argument, "--device=", settings.deviceHardwareId) &&
            !TakeOption(argument, "--removable-device=", settings.removableDeviceHardwareId) &&
            !TakeOption(argument, "--service=", settings.serviceName) &&
            !TakeOption(argument, "--service-path=", settings.serviceBinaryPath) &&
            !TakeOption(argument, "--work=", settings.workFolder) && argument != kAnsiFormsOption) {
            std::fprintf(stderr, "unknown argument: %s\n", argv[i]);
            return false;
        }
    }
    return !settings.deviceHardwareId.empty() && !settings.removableDeviceHardwareId.empty() &&
           !settings.serviceName.empty() && !settings.serviceBinaryPath.empty() &&
           !settings.workFolder.empty() && settings.workFolder.back() == u'\\';
}

}  // namespace

int main(int argc, char **argv) {
    cvl::win32::CloseLibrarySearchPath();
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == cvl::contract::kExitWithMode && argc > 2) return std::atoi(argv[2]);
    if (mode == "print-pid") {
        cvl::Win32Platform platform;
        std::printf("%u\n", platform.GetCurrentProcessId());
        return 0;
    }
    if (mode == "class-install-requests") {
        cvl::Win32Platform platform;
        cvl::contract::MakeClassInstallRequests(platform);
        return 0;
    }

    ::testing::InitGoogleTest(&argc, argv);
    // Listing the cases needs nothing prepared.
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    cvl::contract::HarnessSettings settings;
    for (int i = 1; i < argc; ++i)
        if (argv[i] == kAnsiFormsOption) cvl::win32::gTextForms = cvl::win32::TextForms::ansi;
    if (!ParseSettings(argc, argv, settings)) {
        std::fprintf(stderr,
                     "usage: cvl_platform_contract_tests [gtest flags] [--ansi-forms] --device=ID "
                     "--removable-device=ID --service=NAME --service-path=PATH --work=FOLDER\\ "
                     "| exit-with N | print-pid | class-install-requests\n");
        return 2;
    }
    cvl::contract::UseHarnessSettings(std::move(settings));
    return RUN_ALL_TESTS();
}
