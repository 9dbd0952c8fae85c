#pragma once
// The exit statuses of every program: velora, velora.scr, velora-skyshow
// and velora-skyshow-add.
namespace velora {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the work could not be done (said in a message box or on stderr)
inline constexpr int kExitUsage = 2;    // a command line the program does not take (with its usage line)

}  // namespace velora
