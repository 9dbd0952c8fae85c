#include "shell/ScreenSaveMisc.h"

#include <cstddef>

namespace velora {

Arguments SplitCommandLine(std::string_view commandLine) {
    Arguments args;
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    auto isSeparator = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (i < n) {
        while (i < n && isSeparator(commandLine[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !isSeparator(commandLine[i]))) {
            if (commandLine[i] == '"')
                quoted = !quoted;
            else
                arg += commandLine[i];
            ++i;
        }
        if (!arg.empty()) args.push_back(std::move(arg));
    }
    return args;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool MatchesSwitch(const Arguments& args, char letter) {
    if (args.size() < 2) return false;
    const std::string& arg = args[1];
    if (arg.size() < 2) return false;
    if (arg[0] != '/' && arg[0] != '-') return false;
    char second = arg[1];
    if (second >= 'a' && second <= 'z') second = static_cast<char>(second - 'a' + 'A');
    return second == letter;
}

}  // namespace

std::optional<std::int32_t> ParseHandleNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;

    std::uint64_t value = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; i < text.size(); ++i) {
        const int digit = hex ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > limit) return std::nullopt;
    }
    // Hex values above 7FFFFFFF wrap to negative numbers, as a 32-bit
    // register would hold them; the sign then negates modulo 2^32.
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

bool IsConfigMode(const Arguments& args) { return MatchesSwitch(args, 'C'); }

bool IsSaverMode(const Arguments& args) { return MatchesSwitch(args, 'S'); }

bool IsPreviewMode(const Arguments& args, const WindowExists& isWindow, WindowHandle& wnd) {
    wnd = 0;
    if (!MatchesSwitch(args, 'P') || args.size() < 3) return false;
    if (const auto number = ParseHandleNumber(args[2])) {
        // Window handles are sign-extended from their 32-bit form.
        wnd = static_cast<WindowHandle>(static_cast<std::intptr_t>(*number));
    }
    if (wnd != 0 && !isWindow(wnd)) wnd = 0;
    return wnd != 0;
}

}  // namespace velora
