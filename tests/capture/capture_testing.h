// For the capture tests: the simulated machine's files as the capture reads
// them, and the demo machine to capture.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "capture/machine_capture.h"
#include "machine_image/machine_image.h"
#include "tools/machine_image_testing.h"

namespace cvl::test {

// Reads as the capture program does on Windows: through the file-system
// redirector when it runs as a 32-bit program on 64-bit Windows.
class SimulatedFiles final : public capture::FileReader {
public:
    explicit SimulatedFiles(const sim::SimulatedPlatform &machine) : machine_(machine) {}
    std::optional<std::string> ReadWholeFile(std::u16string_view path) override {
        return machine_.Setup().ReadFileAsProgram(path);
    }

private:
    const sim::SimulatedPlatform &machine_;
};

inline void LoadDemo(sim::SimulatedPlatform &machine) {
    std::string error;
    ASSERT_TRUE(image::LoadMachineImage(cvl::test::kDemoImage, machine, error)) << error;
}

}  // namespace cvl::test
