#pragma once
// Command lines for the tests of the programs' argument handling.
#include <initializer_list>

#include "shell/ScreenSaveMisc.h"

namespace velora::testing {

// `program` followed by `rest`, as the program's main receives them.
inline Arguments ArgsOf(const char* program, std::initializer_list<const char*> rest) {
    Arguments args{program};
    for (const char* arg : rest) args.emplace_back(arg);
    return args;
}

inline Arguments Args(std::initializer_list<const char*> rest) { return ArgsOf("velora", rest); }
inline Arguments SkyshowArgs(std::initializer_list<const char*> rest) { return ArgsOf("velora-skyshow", rest); }

}  // namespace velora::testing
