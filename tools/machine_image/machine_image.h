// A machine image: a folder that holds one simulated Windows machine, so that
// a cvlsetup command line can be run against it on any host and the changed
// machine kept.
//
//   registry.reg  the registry, in the regedit export format (reg_file.h)
//   machine.txt   settings, runtime state, devices and services
//                 (machine_image_settings.h, machine_image_device_rows.h)
//   drive_c/      the files of C: (machine_image_drives.h)
//
// Loading reads and checks everything before it touches the machine: an image
// with a mistake leaves the machine as it was, and the error names the file
// and, where there is one, the line. Load into a fresh SimulatedPlatform.
#pragma once

#include <filesystem>
#include <string>

#include "machine_image/image_files.h"
#include "machine_image/machine_image_settings.h"
#include "platform/sim/simulated_platform.h"

namespace cvl::image {

bool LoadMachineImage(const std::filesystem::path &dir, sim::SimulatedPlatform &machine,
                      std::string &error);
// The same, also handing back the settings read from machine.txt: a run
// cannot change them, so the image is saved with them again (the devices
// and services they list are read back from the machine).
bool LoadMachineImage(const std::filesystem::path &dir, sim::SimulatedPlatform &machine,
                      MachineSettings &settings, std::string &error);

// Writes the machine's registry and files with `settings` as a new image at
// `dir`; the devices and services `settings` lists are written as they are
// on the machine now, and those that are gone are left out. An existing `dir` must be empty or a
// machine image (nothing but the image's own files and drive folders in it); it is replaced whole.
// The image is written into a sibling folder first and renamed into place, so a failure leaves
// `dir` as it was.
bool SaveMachineImage(sim::SimulatedPlatform &machine, const MachineSettings &settings,
                      const std::filesystem::path &dir, std::string &error);

// Seeds the version, the directories, the program and the process answers;
// the devices and services are seeded apart (machine_image_device_seeding.h).
// The program's file must already be on the machine.
void ApplyMachineSettings(const MachineSettings &settings, sim::SimulatedPlatform &machine);

}  // namespace cvl::image
