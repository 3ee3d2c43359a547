// The documented errors as the fault sweep and the host runner's --fail use
// them: which operations cannot fail, and names a technician can type for
// every error the others give.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "machine_image/documented_errors.h"

namespace cvl::image {
namespace {

using Op = PlatformOperation;

// The calls that give nothing to fail: the simulated machine counts them and
// carries them out whatever rule names them.
constexpr std::array kCannotFail = {Op::GetLastError,     Op::SetLastError, Op::GetCurrentProcessId,
                                    Op::ExitProcess,      Op::Sleep,        Op::GetTickCount,
                                    Op::SetupCloseInfFile};

TEST(DocumentedErrorsTest, OnlyTheCallsThatCannotFailHaveNoErrors) {
    for (std::size_t index = 0; index < kPlatformOperationCount; ++index) {
        const auto operation = static_cast<Op>(index);
        const bool cannotFail =
            std::find(kCannotFail.begin(), kCannotFail.end(), operation) != kCannotFail.end();
        EXPECT_EQ(DocumentedErrors(operation).empty(), cannotFail) << operation;
    }
}

TEST(DocumentedErrorsTest, EveryWin32ErrorHasANameThatReadsBack) {
    for (std::size_t index = 0; index < kPlatformOperationCount; ++index) {
        const auto operation = static_cast<Op>(index);
        // The CM calls answer CONFIGRET codes, which share their numbers
        // with Win32 errors and print as numbers.
        if (PlatformOperationName(operation).starts_with("CM_")) continue;
        for (const DWORD code : DocumentedErrors(operation)) {
            const std::string name = ErrorName(code);
            EXPECT_FALSE(name.starts_with("0x")) << operation << " " << name;
            EXPECT_EQ(ErrorNamed(name), code) << operation << " " << name;
        }
    }
}

TEST(DocumentedErrorsTest, ConfigretNamesAndNumbersAreRead) {
    const struct {
        const char *text;
        std::optional<DWORD> code;
    } cases[] = {
        {"CR_NO_SUCH_DEVNODE", CR_NO_SUCH_DEVNODE},
        {"ERROR_ACCESS_DENIED", ERROR_ACCESS_DENIED},
        {"0x80090020", 0x80090020u},
        {"1065", 1065u},
        {"0x", std::nullopt},
        {"12a", std::nullopt},
        {"ERROR_NOT_A_NAME", std::nullopt},
    };
    for (const auto &row : cases) EXPECT_EQ(ErrorNamed(row.text), row.code) << row.text;
}

}  // namespace
}  // namespace cvl::image
