// What a machine holds at one moment, read the way a program would read it:
// the registry through the Platform calls from the two hive roots, the files
// through the seeding helpers. Two snapshots give a readable list of changes,
// and a snapshot is what a machine image is saved from.
//
// Taking a snapshot makes Platform calls: take the "before" one ahead of any
// fault a test sets up to fire on the n-th call.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/sim/simulated_platform.h"

namespace cvl::image {

struct SnapshotValue {
    std::u16string name;  // as spelled; empty for the default value
    sim::RegValue value;
};

struct SnapshotKey {
    std::u16string path;  // "HKLM\\..." as spelled; "HKLM" for the hive root
    std::map<std::u16string, SnapshotValue> values;  // by name folded A to Z
};

struct SnapshotFile {
    std::u16string path;  // "C:\\..." as spelled
    std::string contents;
    DWORD attributes = 0;
};

// A device instance key under Enum with what the device tree knows of it
// (not present: a key without a node, as a device that was unplugged).
struct SnapshotDevice {
    std::u16string instanceId;  // as spelled
    sim::DeviceNodeState state;
};

struct MachineSnapshot {
    // All maps are keyed by the path or name folded A to Z, as Windows
    // compares them; a parent's key always sorts before its children's.
    std::map<std::u16string, SnapshotKey> keys;
    std::map<std::u16string, SnapshotFile> files;
    std::map<std::u16string, std::u16string> directories;  // folded -> as spelled
    std::map<std::u16string, SnapshotDevice> devices;      // by folded instance id
};

bool TakeSnapshot(sim::SimulatedPlatform &machine, MachineSnapshot &snapshot, std::string &error);

// Equal in everything, the spelling of names included.
bool SameSnapshot(const MachineSnapshot &a, const MachineSnapshot &b);

// One line a change, devices first, then the registry, then files, each in
// id or path order:
//   "+ device <id>: started", "- device <id>", "~ device <id>: started -> disabled",
//   "+ key HKLM\\...", "- key HKLM\\...",
//   "+ value HKLM\\...\\Name: REG_SZ \"text\"",
//   "~ value HKLM\\...\\Name: REG_SZ \"old\" -> \"new\"",
//   "- value ...", "+ file C:\\... (N bytes)", "~ file C:\\...: ...", "- file C:\\...".
// A device is "started", "stopped", "disabled" or "absent"; "- device" means
// its instance key is gone. The default value is shown as "(Default)".
// Folders are not listed.
std::vector<std::string> DiffSnapshots(const MachineSnapshot &before, const MachineSnapshot &after);

// A value as the change lines show it: "REG_DWORD 0x00000001 (1)".
std::string DescribeRegValue(const sim::RegValue &value);

}  // namespace cvl::image
