// The machine.txt reader on any bytes: it must never crash, a rejection
// says why, and whatever it accepts reads back the same after it is written
// out again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "machine_image/machine_image_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace cvl::image;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    MachineSettings settings;
    TextError error;
    if (!ParseMachineSettings(bytes, settings, error)) {
        if (error.message.empty()) std::abort();
        return 0;
    }
    const std::string written = FormatMachineSettings(settings);
    MachineSettings reread;
    if (!ParseMachineSettings(written, reread, error)) std::abort();
    if (FormatMachineSettings(reread) != written) std::abort();
    return 0;
}
