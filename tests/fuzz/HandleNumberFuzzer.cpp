// The handle conversion accepts exactly the texts the model accepts, with
// the same value, and every value it gives reads back from its plain spellings.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "CommandLineModel.h"
#include "shell/ScreenSaveMisc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using velora::ParseHandleNumber;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto expected = velora::fuzz::ModelHandleNumber(text);
    const auto actual = ParseHandleNumber(text);
    FUZZ_CHECK(actual.has_value() == expected.has_value());
    if (!actual) return 0;
    FUZZ_CHECK(*actual == *expected);
    FUZZ_CHECK(ParseHandleNumber(std::to_string(*actual)) == actual);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(*actual));
    FUZZ_CHECK(ParseHandleNumber(hex) == actual);
    return 0;
}
