// The splitting agrees with the model, keeps every character that is neither
// a quote nor a separator, in order, and makes no empty argument; quoting
// each argument and joining them with blanks gives the same arguments back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "CommandLineModel.h"
#include "shell/ScreenSaveMisc.h"

namespace {

std::string WithoutQuotesAndSeparators(std::string_view text) {
    std::string kept;
    for (const char c : text)
        if (c != '"' && !velora::fuzz::IsSeparator(c)) kept += c;
    return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const velora::Arguments args = velora::SplitCommandLine(line);
    FUZZ_CHECK(args == velora::fuzz::ModelSplit(line));

    std::string joined;
    std::string quotedJoin;
    for (const std::string& arg : args) {
        FUZZ_CHECK(!arg.empty());
        FUZZ_CHECK(arg.find('"') == std::string::npos);
        joined += arg;
        quotedJoin += (quotedJoin.empty() ? "\"" : " \"") + arg + "\"";
    }
    FUZZ_CHECK(WithoutQuotesAndSeparators(joined) == WithoutQuotesAndSeparators(line));
    FUZZ_CHECK(velora::SplitCommandLine(quotedJoin) == args);
    return 0;
}
