// The contract of the Platform interface is written once and runs on every
// machine that implements it: the simulated one on the host, the real one
// under Wine (or Windows). A case talks to the machine only through Platform
// and through ContractMachine, which hands it what it cannot make itself.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace cvl::contract {

// A program a case may start: it ends at once with `exitCode`.
struct ChildProgram {
    std::u16string path;
    std::u16string commandLine;  // with the quoted path first
    DWORD exitCode = 0;
};

class ContractMachine {
public:
    virtual ~ContractMachine() = default;

    virtual Platform &platform() = 0;
    // Wine stands in for Windows. Cases mark each answer of Wine that
    // differs from Windows' next to the check; the simulated machine
    // follows Windows.
    virtual bool OnWine() const = 0;

    // A key under HKEY_CURRENT_USER, there and empty when the case starts.
    virtual std::u16string ScratchKey() const = 0;
    // A folder, there and empty when the case starts; absolute, ending in a
    // backslash.
    virtual std::u16string ScratchFolder() const = 0;
    // The path of the running program.
    virtual std::u16string OwnPath() const = 0;

    // A present root-enumerated network adapter: its hardware ids are
    // DeviceHardwareId() and kSecondHardwareId, its compatible ids
    // kCompatibleIds.
    virtual std::u16string DeviceHardwareId() const = 0;
    // Another adapter, which a case may remove.
    virtual std::u16string RemovableDeviceHardwareId() const = 0;
    // A kernel driver service started on demand.
    virtual std::u16string ServiceName() const = 0;
    virtual std::u16string ServiceBinaryPath() const = 0;

    virtual ChildProgram Child() const = 0;

    // Gives the file `existing` a second name `path` (a hard link), the way
    // someone preparing the scratch folder would; false when it cannot.
    virtual bool AddSecondName(const std::u16string &path, const std::u16string &existing) = 0;
    // Makes the folder `path`, the way someone preparing the scratch folder
    // would; false when it cannot.
    virtual bool AddFolder(const std::u16string &path) = 0;

    // The ANSI code page the platform's texts pass through, when they pass
    // through one (the real layer with its ANSI forms chosen); nothing when
    // they stay UTF-16 all the way.
    virtual std::optional<unsigned> AnsiCodePage() const = 0;
};

inline constexpr char16_t kSecondHardwareId[] = u"CVL_PROBE_FAMILY";
inline const std::vector<std::u16string> kCompatibleIds = {u"CVL_PROBE_A", u"CVL_PROBE_B"};

// Each side defines this once: the host with the simulated machine, the
// Windows test program with the real one.
std::unique_ptr<ContractMachine> MakeContractMachine();

class PlatformContract : public ::testing::Test {
protected:
    PlatformContract() : machine_(MakeContractMachine()), platform(machine_->platform()) {}

    bool OnWine() const { return machine_->OnWine(); }
    // Wine's Unicode call gives the case its answer. With the ANSI forms
    // chosen, Wine's ANSI call answers instead, and the layer itself keeps
    // the size protocols, as Windows does; some of Wine's differences from
    // Windows are then gone.
    bool WineUnicodeAnswers() const { return OnWine() && !machine_->AnsiCodePage(); }
    const ContractMachine &machine() const { return *machine_; }

    // The scratch key's path under HKEY_CURRENT_USER with `child` appended.
    std::u16string Key(std::u16string_view child = {}) const;
    // Creates (or opens) a key below the scratch key; OpenKey only opens.
    HKEY CreateKey(std::u16string_view child, REGSAM sam = KEY_ALL_ACCESS);
    HKEY OpenKey(std::u16string_view child, REGSAM sam = KEY_ALL_ACCESS);
    // A path in the scratch folder.
    std::u16string Path(std::u16string_view name) const;
    // Writes a whole file; false when it could not be written.
    bool WriteWholeFile(const std::u16string &path, std::string_view contents);
    bool AddSecondName(const std::u16string &path, const std::u16string &existing) {
        return machine_->AddSecondName(path, existing);
    }
    bool AddFolder(const std::u16string &path) { return machine_->AddFolder(path); }

private:
    // Declared before `platform`, which refers into it.
    std::unique_ptr<ContractMachine> machine_;

protected:
    Platform &platform;
};

const BYTE *Bytes(const void *data);
// The bytes of a REG_MULTI_SZ holding `texts`.
std::vector<BYTE> MultiStringBytes(const std::vector<std::u16string> &texts);
// The texts of a REG_MULTI_SZ, in order.
std::vector<std::u16string> SplitMultiString(const BYTE *bytes, std::size_t size);

// The names RegEnumKeyEx and RegEnumValue give for indexes 0, 1, 2 ... up to
// ERROR_NO_MORE_ITEMS; any other answer fails the test and ends the walk.
std::vector<std::u16string> SubkeyNames(Platform &platform, HKEY key);
std::vector<std::u16string> ValueNames(Platform &platform, HKEY key);

}  // namespace cvl::contract
