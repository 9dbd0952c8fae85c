#pragma once
// The command-line rules restated for the fuzz targets. Each model is written
// from the rules in its own way, never from ScreenSaveMisc, so a fault in
// either shows up as a disagreement.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Handles.h"

// A failed property aborts, which libFuzzer reports as a crash and saves.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace velora::fuzz {

inline bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= 32; }

// A quote toggles the quoted state wherever it stands, so the state at any
// byte is the parity of the quotes before it; unquoted separators cut the
// line, and the pieces less their quotes are the arguments.
inline std::vector<std::string> ModelSplit(std::string_view line) {
    std::vector<std::string> pieces(1);
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && IsSeparator(c))
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    std::erase_if(pieces, [](const std::string& piece) { return piece.empty(); });
    return pieces;
}

// Range checks compare digit strings, so no arithmetic happens before the
// value is known to fit.
inline std::optional<std::int32_t> ModelHandleNumber(std::string_view text) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    const bool negative = text.front() == '-';
    if (negative || text.front() == '+') text.remove_prefix(1);
    bool hex = false;
    for (const std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
        if (text.starts_with(prefix)) {
            hex = true;
            text.remove_prefix(prefix.size());
            break;
        }
    }
    const std::string_view digitSet = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (text.empty() || text.find_first_not_of(digitSet) != std::string_view::npos) return std::nullopt;
    const std::size_t firstSignificant = text.find_first_not_of('0');
    const std::string_view digits = firstSignificant == std::string_view::npos ? "" : text.substr(firstSignificant);
    if (hex) {
        if (digits.size() > 8) return std::nullopt;
    } else {
        const std::string_view largest = negative ? "2147483648" : "2147483647";
        if (digits.size() > largest.size() || (digits.size() == largest.size() && digits > largest))
            return std::nullopt;
    }
    std::uint32_t magnitude = 0;
    for (const char c : digits) {
        const auto value =
            static_cast<std::uint32_t>(std::string_view("0123456789abcdef").find(static_cast<char>(c | 0x20)));
        magnitude = magnitude * (hex ? 16u : 10u) + value;
    }
    return static_cast<std::int32_t>(negative ? ~magnitude + 1u : magnitude);
}

// Step by step as the rules read: upper-case a to z in argument 1, then
// look at its first two characters.
inline bool ModelSwitch(const std::vector<std::string>& args, char letter) {
    if (args.size() < 2) return false;
    std::string first = args[1];
    for (char& c : first)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return first.size() >= 2 && (first[0] == '/' || first[0] == '-') && first[1] == letter;
}

static_assert(sizeof(WindowHandle) == 8, "the handle model assumes 64-bit window handles");

// A negative number fills the upper half of the handle with ones.
inline WindowHandle ModelWindowHandle(std::int32_t number) {
    const WindowHandle low = static_cast<std::uint32_t>(number);
    return number < 0 ? (WindowHandle{0xFFFFFFFFu} << 32) | low : low;
}

}  // namespace velora::fuzz
