// Relaxing the driver-signing policy while a beta driver is installed. The
// policy is the "Policy" value under Software\Microsoft\Driver Signing: the
// machine's in HKLM (binary) and the user's in HKCU (a number); 0 lets an
// unsigned driver install without asking.
#pragma once

#include <vector>

#include "platform/platform.h"

namespace cvl {

class SigningPolicyGuard {
public:
    explicit SigningPolicyGuard(Platform &platform) : platform_(platform) {}
    // Puts back whatever is still relaxed.
    ~SigningPolicyGuard() { Restore(); }
    SigningPolicyGuard(const SigningPolicyGuard &) = delete;
    SigningPolicyGuard &operator=(const SigningPolicyGuard &) = delete;

    // Saves each policy value that can be read, with its type and bytes, and
    // relaxes it. A value that cannot be read is left alone. True when at
    // least one value was saved.
    bool Relax();
    // Writes back exactly what was saved; nothing is left to restore after.
    void Restore();

private:
    struct SavedValue {
        HKEY hive;
        DWORD type;
        std::vector<BYTE> data;
    };

    Platform &platform_;
    std::vector<SavedValue> saved_;
};

}  // namespace cvl
