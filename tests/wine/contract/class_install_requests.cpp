#include "class_install_requests.h"

#include <cstdio>
#include <initializer_list>

namespace cvl::contract {

void MakeClassInstallRequests(Platform &platform) {
    HDEVINFO list = platform.SetupDiGetClassDevsW(nullptr, nullptr, DIGCF_ALLCLASSES);
    ClassInstallParams change{};
    change.InstallFunction = DIF_PROPERTYCHANGE;
    change.StateChange = DICS_DISABLE;
    change.Scope = DICS_FLAG_CONFIGSPECIFIC;
    ClassInstallParams removal{};
    removal.InstallFunction = DIF_REMOVE;
    removal.Scope = DI_REMOVEDEVICE_GLOBAL;
    for (const ClassInstallParams *request : {&change, &removal}) {
        const BOOL accepted = platform.SetupDiSetClassInstallParamsW(list, nullptr, request);
        std::printf("request %u: %d\n", request->InstallFunction, accepted);
    }
    platform.SetupDiDestroyDeviceInfoList(list);
}

}  // namespace cvl::contract
