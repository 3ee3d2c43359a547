// The text files of a machine image come from Windows tools (regedit writes
// UTF-16LE with a byte-order mark) or from a plain editor (UTF-8, with or
// without a mark). Both are read into UTF-16 lines, so the readers above work
// on one form and can name the line of every mistake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cvl::image {

struct TextError {
    std::size_t line = 0;  // 1-based; 0 when the mistake is not on a line
    std::string message;
};

// Splits at LF, CR LF or a lone CR; the line ends are not kept. Fails on bytes
// that are not valid UTF-8 (or an odd UTF-16 length) and on zero characters,
// which no registry export or settings file holds.
bool DecodeImageText(std::string_view bytes, std::vector<std::u16string> &lines, TextError &error);

// Strict UTF-8 (no overlong forms, no surrogates) to UTF-16.
bool DecodeUtf8Strict(std::string_view bytes, std::u16string &text);

// UTF-16LE with a byte-order mark, the form regedit writes.
std::string EncodeUtf16LeWithBom(std::u16string_view text);

// A host path from a UTF-8 text (a command line argument, a Windows name),
// and the text of a host path for messages and reports. On Linux both are
// the bytes as they are; on Windows, where a path is UTF-16 (the host runner
// built as cvlpreview.exe), they are converted, and a path prints as the
// same UTF-8 text it was made from.
std::filesystem::path HostPathFromUtf8(std::string_view text);
std::string HostPathText(const std::filesystem::path &path);

// "<file>:<line>: <message>", or "<file>: <message>" without a line.
std::string ImageErrorText(const std::filesystem::path &file, std::size_t line,
                           std::string_view message);

// A number of a settings line: decimal, or hexadecimal after "0x" where
// `allowHex` is set; within 32 bits.
std::optional<std::uint32_t> ParseImageNumber(std::u16string_view text, bool allowHex = true);

// Blanks and tabs off both ends.
std::u16string_view TrimBlanks(std::u16string_view text);

}  // namespace cvl::image
