#include "base/Errors.h"

#include <cstdio>

namespace velora {

namespace {
std::string FormatOsError(int code, const std::string& description) {
    if (code == 0) return msg::kOsErrorUnknown;
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, msg::kOsErrorWithCode, code, description.c_str());
    return buffer;
}
}  // namespace

EOSError::EOSError(int code, const std::string& description)
    : Exception(FormatOsError(code, description)), FErrorCode(code) {}

}  // namespace velora
