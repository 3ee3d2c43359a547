#include "checks.h"

#include <cstdio>
#include <string>

#include "common/text.h"

namespace cvl::probe {

void Checks::Expect(bool ok, std::string_view what, std::string_view detail) {
    if (ok) {
        std::printf("ok   %.*s\n", static_cast<int>(what.size()), what.data());
        return;
    }
    ++failures_;
    std::printf("FAIL %.*s%s%.*s\n", static_cast<int>(what.size()), what.data(),
                detail.empty() ? "" : ": ", static_cast<int>(detail.size()), detail.data());
}

void Checks::ExpectNumber(DWORD got, DWORD want, std::string_view what) {
    char detail[80];
    std::snprintf(detail, sizeof(detail), "got %u (0x%X), want %u (0x%X)", got, got, want, want);
    Expect(got == want, what, detail);
}

void Checks::ExpectText(std::u16string_view got, std::u16string_view want, std::string_view what) {
    Expect(got == want, what, "got '" + ToUtf8(got) + "', want '" + ToUtf8(want) + "'");
}

}  // namespace cvl::probe
