#pragma once
// The daemon's list of savers: the `programs` resource of the user's
// ~/.xscreensaver, or of the system's defaults when the user has none.
// The resource is one value over continued lines (each ending in a
// backslash) whose entries are separated by a literal "\n"; an entry is
// `[-][VISUAL:] ["Name"] command [arguments]`, a leading hyphen marking it
// disabled.
#include <optional>
#include <string>

namespace velora {

// The entry velora-skyshow-add adds, for the saver at `saverPath`: the
// daemon finds savers of its own folder by name, any other by full path.
std::string SaverListEntry(const std::string& saverPath);

// Whether some entry of the `programs` resource of `settings`, enabled or
// not, runs a program named like `saverPath`'s file.
bool ListsSaver(const std::string& settings, const std::string& saverPath);

// `settings` with `entry` added as the last entry of its `programs`
// resource; every other byte stays as it was. Without a `programs`
// resource, the one of `defaults` (the system's) is appended first, so the
// user keeps the savers the system lists. Empty when neither has one.
std::optional<std::string> AddToSaverList(const std::string& settings, const std::string& defaults,
                                          const std::string& entry);

}  // namespace velora
