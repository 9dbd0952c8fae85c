// The three mode tests agree with the model on any argument list; the
// preview test asks the window test only about the number it converted,
// at most once and never about 0. Input: one byte for the window test's
// answer, then the arguments separated by NUL bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "CommandLineModel.h"
#include "shell/ScreenSaveMisc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velora;
    if (size == 0) return 0;
    const bool windowExists = (data[0] & 1) != 0;
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    Arguments args;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\0'), rest.size());
        args.emplace_back(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }

    std::vector<WindowHandle> asked;
    const WindowExists isWindow = [&](WindowHandle wnd) {
        asked.push_back(wnd);
        return windowExists;
    };
    WindowHandle wnd = 0x5eed;
    const bool preview = IsPreviewMode(args, isWindow, wnd);

    std::optional<std::int32_t> number;
    if (fuzz::ModelSwitch(args, 'P') && args.size() >= 3) number = fuzz::ModelHandleNumber(args[2]);
    const bool mustAsk = number.has_value() && *number != 0;
    FUZZ_CHECK(asked.size() <= 1);
    FUZZ_CHECK(std::find(asked.begin(), asked.end(), WindowHandle{0}) == asked.end());
    FUZZ_CHECK(asked.size() == (mustAsk ? 1u : 0u));
    if (mustAsk) FUZZ_CHECK(asked.front() == fuzz::ModelWindowHandle(*number));
    const WindowHandle expectedWnd = mustAsk && windowExists ? fuzz::ModelWindowHandle(*number) : 0;
    FUZZ_CHECK(wnd == expectedWnd);
    FUZZ_CHECK(preview == (expectedWnd != 0));

    FUZZ_CHECK(IsConfigMode(args) == fuzz::ModelSwitch(args, 'C'));
    FUZZ_CHECK(IsSaverMode(args) == fuzz::ModelSwitch(args, 'S'));
    return 0;
}
