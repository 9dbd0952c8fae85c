#include "shell/SaverList.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <vector>

namespace velora {

namespace {

constexpr std::string_view kDaemonSaverFolder = "/usr/libexec/xscreensaver/";
constexpr std::string_view kBlanks = " \t";

// A line of the text without its line break: [Begin, End).
struct Line {
    std::size_t Begin;
    std::size_t End;
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());
        lines.push_back({begin, end});
        begin = end + 1;
    }
    return lines;
}

bool Continues(std::string_view line) { return !line.empty() && line.back() == '\\'; }

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The value text of a resource line named `programs` (in any of the
// spellings `programs:`, `*programs:`, `XScreenSaver.programs:`), where it
// begins in the line; npos for any other line.
std::size_t ProgramsValueStart(std::string_view line) {
    std::size_t at = line.find_first_not_of(kBlanks);
    if (at == std::string_view::npos) return std::string_view::npos;
    for (std::string_view prefix : {"XScreenSaver.", "XScreenSaver*", "*"}) {
        if (line.substr(at).starts_with(prefix)) {
            at += prefix.size();
            break;
        }
    }
    constexpr std::string_view kName = "programs";
    if (!line.substr(at).starts_with(kName)) return std::string_view::npos;
    at = line.find_first_not_of(kBlanks, at + kName.size());
    if (at == std::string_view::npos || line[at] != ':') return std::string_view::npos;
    return at + 1;
}

// The lines [First, Last] holding the `programs` resource.
struct Resource {
    std::size_t First;
    std::size_t Last;
};

std::optional<Resource> FindPrograms(std::string_view text, const std::vector<Line>& lines) {
    bool continued = false;  // the line before ended in a backslash: no resource starts here
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = text.substr(lines[i].Begin, lines[i].End - lines[i].Begin);
        if (!continued && ProgramsValueStart(line) != std::string_view::npos) {
            std::size_t last = i;
            while (last + 1 < lines.size() &&
                   Continues(text.substr(lines[last].Begin, lines[last].End - lines[last].Begin)))
                ++last;
            return Resource{i, last};
        }
        continued = Continues(line);
    }
    return std::nullopt;
}

// The text of the resource's lines as the daemon joins them, without the
// leading name: continued lines joined, each entry ending at a "\n".
std::string ProgramsValue(std::string_view text, const std::vector<Line>& lines, const Resource& resource) {
    std::string value;
    for (std::size_t i = resource.First; i <= resource.Last; ++i) {
        std::string_view line = text.substr(lines[i].Begin, lines[i].End - lines[i].Begin);
        if (i == resource.First) line.remove_prefix(ProgramsValueStart(line));
        if (Continues(line)) line.remove_suffix(1);
        value += line;
    }
    return value;
}

// The program an entry runs, by its file name; empty for an empty entry.
std::string_view EntryProgram(std::string_view entry) {
    entry = TrimBlanks(entry);
    if (entry.starts_with('-')) entry = TrimBlanks(entry.substr(1));
    // A visual (GL:, default:, ...) is one word ending in a colon.
    const std::size_t word = entry.find_first_of(" \t\"");
    if (word != std::string_view::npos && word > 0 && entry[word - 1] == ':')
        entry = TrimBlanks(entry.substr(word));
    else if (word == std::string_view::npos && entry.ends_with(':'))
        return {};
    if (entry.starts_with('"')) {
        const std::size_t close = entry.find('"', 1);
        entry = close == std::string_view::npos ? std::string_view{} : TrimBlanks(entry.substr(close + 1));
    }
    const std::string_view command = entry.substr(0, entry.find_first_of(kBlanks));
    const std::size_t slash = command.rfind('/');
    return slash == std::string_view::npos ? command : command.substr(slash + 1);
}

std::string_view FileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool ValueLists(std::string_view value, std::string_view program) {
    for (std::size_t begin = 0; begin <= value.size();) {
        const std::size_t end = std::min(value.find("\\n", begin), value.size());
        if (EntryProgram(value.substr(begin, end - begin)) == program) return true;
        begin = end + 2;
    }
    return false;
}

bool HasEntry(std::string_view line) {
    std::string_view rest = TrimBlanks(line);
    if (Continues(rest)) rest = TrimBlanks(rest.substr(0, rest.size() - 1));
    if (rest.ends_with("\\n")) rest = TrimBlanks(rest.substr(0, rest.size() - 2));
    return !rest.empty();
}

// `text` with `entry` after the last entry of its `programs` resource.
std::string AppendEntry(const std::string& text, const std::vector<Line>& lines, const Resource& resource,
                        const std::string& entry) {
    // The last line that holds (part of) an entry; the resource's name line
    // when it lists nothing.
    std::size_t last = resource.First;
    for (std::size_t i = resource.First; i <= resource.Last; ++i) {
        std::string_view line = std::string_view(text).substr(lines[i].Begin, lines[i].End - lines[i].Begin);
        if (i == resource.First) line.remove_prefix(ProgramsValueStart(line));
        if (HasEntry(line)) last = i;
    }
    const Line& line = lines[last];
    const std::string_view before = std::string_view(text).substr(line.Begin, line.End - line.Begin);
    std::string_view content = before;
    const bool continues = Continues(content);
    if (continues) content.remove_suffix(1);
    // The line before ours must end its entry and go on to ours; ours ends
    // as that line ended, so that whatever followed it still follows.
    std::string joined(content);
    const bool hasEntry = last != resource.First || HasEntry(content.substr(ProgramsValueStart(content)));
    if (hasEntry && !TrimBlanks(content).ends_with("\\n")) joined += " \\n";
    joined += "\\";
    std::string added = "  " + entry + " \\n";
    if (continues) added += "\\";

    std::string result = text.substr(0, line.Begin);
    result += joined;
    result += '\n';
    result += added;
    if (line.End < text.size()) {
        result += text.substr(line.End);  // the line break, and everything after it
    }
    return result;
}

}  // namespace

std::string SaverListEntry(const std::string& saverPath) {
    const std::string_view path(saverPath);
    const bool daemonFolder =
        path.starts_with(kDaemonSaverFolder) && path.find('/', kDaemonSaverFolder.size()) == std::string_view::npos;
    return "GL: " + std::string(daemonFolder ? FileName(path) : path) + " --root";
}

bool ListsSaver(const std::string& settings, const std::string& saverPath) {
    const auto lines = SplitLines(settings);
    const auto resource = FindPrograms(settings, lines);
    return resource && ValueLists(ProgramsValue(settings, lines, *resource), FileName(saverPath));
}

std::optional<std::string> AddToSaverList(const std::string& settings, const std::string& defaults,
                                          const std::string& entry) {
    if (const auto lines = SplitLines(settings); const auto resource = FindPrograms(settings, lines))
        return AppendEntry(settings, lines, *resource, entry);

    const auto defaultLines = SplitLines(defaults);
    const auto resource = FindPrograms(defaults, defaultLines);
    if (!resource) return std::nullopt;
    // The system's list under the user's name for it, `programs:`.
    std::string copied = "programs:";
    const std::string_view first(defaults.data() + defaultLines[resource->First].Begin,
                                 defaultLines[resource->First].End - defaultLines[resource->First].Begin);
    copied += first.substr(ProgramsValueStart(first));
    copied += '\n';
    const std::size_t rest = defaultLines[resource->First].End + 1;
    if (resource->Last > resource->First)
        copied += defaults.substr(rest, defaultLines[resource->Last].End - rest) + '\n';

    std::string result = settings;
    if (!result.empty() && result.back() != '\n') result += '\n';
    const std::size_t start = result.size();
    result += copied;
    // Appending to the copy alone leaves the user's own bytes untouched.
    std::string block = result.substr(start);
    const auto blockLines = SplitLines(block);
    const auto blockResource = FindPrograms(block, blockLines);
    return result.substr(0, start) + AppendEntry(block, blockLines, *blockResource, entry);
}

}  // namespace velora
