#include "machine_image/fail_option.h"

#include <charconv>

#include "machine_image/documented_errors.h"

namespace cvl::image {

bool ParseCallCount(std::string_view text, std::uint64_t &count) {
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), count);
    return !text.empty() && failure == std::errc{} && end == text.data() + text.size() && count > 0;
}

bool ParseFailOption(std::string_view text, sim::FaultRule &rule, std::string &error) {
    const std::size_t firstColon = text.find(':');
    const std::string_view name = text.substr(0, firstColon);
    const auto operation = PlatformOperationNamed(name);
    if (!operation) {
        error = "--fail names no platform operation: " + std::string(name);
        return false;
    }
    const auto documented = DocumentedErrors(*operation);
    if (documented.empty()) {
        error = "--fail: " + std::string(name) + " cannot fail";
        return false;
    }
    rule = sim::FaultRule{};
    rule.operation = *operation;
    rule.error = documented.front();
    if (firstColon == std::string_view::npos) return true;

    std::string_view rest = text.substr(firstColon + 1);
    const std::size_t secondColon = rest.find(':');
    std::uint64_t nth = 0;
    if (!ParseCallCount(rest.substr(0, secondColon), nth) || nth > 0xFFFFFFFFu) {
        error = "--fail needs a call number from 1 on after " + std::string(name) + ":";
        return false;
    }
    rule.nth = static_cast<std::uint32_t>(nth);
    rule.remaining = 1;
    if (secondColon == std::string_view::npos) return true;
    const auto code = ErrorNamed(rest.substr(secondColon + 1));
    if (!code) {
        error = "--fail: unknown error " + std::string(rest.substr(secondColon + 1));
        return false;
    }
    rule.error = *code;
    return true;
}

}  // namespace cvl::image
