// Wine keeps no class-install parameters and prints only the install
// function and record size of each request. The recorder sits between
// cvlsetup.exe and SetupAPI and writes down what each request asks for.
#pragma once

#include <windows.h>

// Redirects the program's binding of SetupDiSetClassInstallParamsW (through
// its import of GetProcAddress) to the recorder. Each call adds one line to
// class-install-params.txt beside the program:
//   <instance id> function=0x12 size=20 state=2 scope=2 profile=0
// (state, scope and profile only for a property change whose record is
// complete), then goes on to Wine's function.
void StartRecordingClassInstallParams();
