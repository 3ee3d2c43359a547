// The .reg reader on any bytes: it must never crash, and whatever it accepts
// must survive a write and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "machine_image/reg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace cvl::image;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    std::vector<RegFileKey> keys;
    RegFileError error;
    if (!ParseRegFile(bytes, keys, error)) {
        if (error.message.empty() || !keys.empty()) std::abort();
        return 0;
    }
    std::string written, writeError;
    if (!FormatRegFile(keys, written, writeError)) std::abort();
    std::vector<RegFileKey> reread;
    if (!ParseRegFile(written, reread, error) || !SameRegFileKeys(keys, reread)) std::abort();
    return 0;
}
