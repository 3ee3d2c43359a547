// What the machine reports of itself and the user's side of a run: the
// version report, whether the program runs as a 32-bit program on 64-bit
// Windows, the virtual clock and the message box.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::sim {

class SystemState {
public:
    const VersionReport &Version() const { return version_; }
    void SetVersion(VersionReport version) { version_ = std::move(version); }
    bool Wow64() const { return wow64_; }
    void SetWow64(bool wow64) { wow64_ = wow64; }

    // Waits move the clock; only Sleep counts as a sleep.
    DWORD Ticks() const { return ticks_; }
    void SetTicks(DWORD ticks) { ticks_ = ticks; }
    void Advance(DWORD milliseconds) { ticks_ += milliseconds; }
    void Sleep(DWORD milliseconds) {
        Advance(milliseconds);
        sleeps_.push_back(milliseconds);
    }
    const std::vector<DWORD> &Sleeps() const { return sleeps_; }

    // The random source: a different byte each call, foreseeable by no
    // program, not even from the clock.
    BYTE NextRandomByte() {
        randomState_ ^= randomState_ << 13;
        randomState_ ^= randomState_ >> 7;
        randomState_ ^= randomState_ << 17;
        return static_cast<BYTE>(randomState_ >> 24);
    }

    // Shows a message box: it is remembered and answered as set.
    int ShowMessageBox(MessageBoxRecord shown) {
        messageBoxes_.push_back(std::move(shown));
        return messageBoxAnswer_;
    }
    void SetMessageBoxAnswer(int answer) { messageBoxAnswer_ = answer; }
    const std::vector<MessageBoxRecord> &MessageBoxes() const { return messageBoxes_; }

private:
    VersionReport version_;
    bool wow64_ = false;
    DWORD ticks_ = 0;
    std::vector<DWORD> sleeps_;
    std::uint64_t randomState_ = 0x9E3779B97F4A7C15u;
    int messageBoxAnswer_ = IDOK;
    std::vector<MessageBoxRecord> messageBoxes_;
};

}  // namespace cvl::sim
