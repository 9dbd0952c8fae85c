// Stands in for the browser that the shell opens for an http address: it
// appends the command line it was given to the file named by
// VELORA_OPENER_LOG and ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
    const char* log = std::getenv("VELORA_OPENER_LOG");
    if (log == nullptr) return 1;
    std::FILE* file = std::fopen(log, "ab");
    if (file == nullptr) return 1;
    std::fprintf(file, "%s\n", GetCommandLineA());
    return std::fclose(file) == 0 ? 0 : 1;
}
