// The README documents exactly the exit codes the program can end with.
#include "common/exit_code.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

namespace cvl {
namespace {

// Every enumerator with the number a caller sees, and nothing for a number
// that is no enumerator. The switch makes a new enumerator a compile error
// here until it is listed.
constexpr std::optional<std::uint32_t> DocumentedNumber(ExitCode code) {
    switch (code) {
        case ExitCode::Success:
            return 0;
        case ExitCode::UnsupportedOs:
            return 1;
        case ExitCode::BadCommandLine:
            return 2;
        case ExitCode::NoAction:
            return 3;
        case ExitCode::NothingToDo:
            return 8;
        case ExitCode::PackageNotFound:
            return 9;
        case ExitCode::OutOfMemory:
            return 10;
        case ExitCode::DeviceNotFound:
            return 11;
        case ExitCode::DriverAlreadyCurrent:
            return 12;
        case ExitCode::DeviceUpdateFailed:
            return 13;
    }
    return std::nullopt;
}

std::string Trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The first column of the table under "### Exit codes", with how often each
// code appears.
std::map<std::string, int> ReadmeExitCodes() {
    std::ifstream readme(std::string(CVL_SOURCE_DIR) + "/README.md");
    std::map<std::string, int> codes;
    std::string line;
    while (std::getline(readme, line) && Trimmed(line) != "### Exit codes") {
    }
    bool inTable = false;
    int row = 0;
    while (std::getline(readme, line)) {
        const std::string text = Trimmed(line);
        if (text.empty() && !inTable) continue;
        if (text.empty() || text[0] != '|') break;
        inTable = true;
        // The heading and the line under it.
        if (row++ < 2) continue;
        const std::size_t end = text.find('|', 1);
        ++codes[Trimmed(text.substr(1, end - 1))];
    }
    return codes;
}

TEST(ExitCodeTest, TheReadmeListsEveryCodeOnceAndNoOther) {
    // Exit statuses a setup front end can tell apart fit in a byte.
    std::map<std::string, int> expected;
    for (std::uint32_t number = 0; number < 256; ++number) {
        const auto code = static_cast<ExitCode>(number);
        if (DocumentedNumber(code) == number) ++expected[std::to_string(number)];
    }
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ReadmeExitCodes(), expected);
}

}  // namespace
}  // namespace cvl
