#include "batch/BuildLog.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "base/Version.h"

namespace gridport::batch {

namespace {

constexpr std::string_view kFirstLine = "gridport-batch build log 2";
constexpr std::size_t kFields = 10;
constexpr std::size_t kPictureFields = 3;  // after the others, when a picture was drawn
// A longer log is taken for none (all out of date) rather than read: 512 MiB, some 500 bytes for each of a million
// outputs.
constexpr std::uint64_t kLargestLog = std::uint64_t{512} << 20;
constexpr std::size_t kChunk = 64 * 1024;

void Escape(std::string& to, std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            to += '%';
            to += kDigits[byte >> 4];
            to += kDigits[byte & 15];
        } else {
            to += c;
        }
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            plain += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        plain += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return plain;
}

// path without its "." parts and repeated or trailing separators, joined by the system's: "ex/./a.map" and "ex//a.map"
// are "ex/a.map". ".." stays, as it leads elsewhere after a link.
std::string Plain(std::string_view path) {
    const auto separator = [](char c) { return c == '/' || c == kFolderJoin; };
    std::string plain;
    plain.reserve(path.size());
    std::size_t start = 0;
    if (!path.empty() && separator(path.front())) {
        plain += path.front();
        start = 1;
    }
    const std::size_t root = plain.size();
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !separator(path[end])) {
            ++end;
        }
        const std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            if (plain.size() > root) {
                plain += kFolderJoin;
            }
            plain += part;
        }
        start = end + 1;
    }
    return plain;
}

std::optional<std::uint64_t> Number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (problem != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// text, shared with the same text before if there was one: lines sorted by output name mostly name their neighbours'
// tileset, and all the same version.
Shared<std::string> SharedWith(std::string text, const Shared<std::string>* before) {
    return before != nullptr && **before == text ? *before : Shared<std::string>(std::move(text));
}

// One line's output name and entry, if it reads as one; previous is the entry of the line before, if any.
std::optional<std::pair<std::string, LogEntry>> ParseLine(std::string_view line, const LogEntry* previous) {
    std::string_view fields[kFields + kPictureFields];
    std::size_t count = 0;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        if (count == kFields + kPictureFields) {
            return std::nullopt;
        }
        fields[count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    if (count != kFields && count != kFields + kPictureFields) {
        return std::nullopt;
    }
    std::optional<std::string> texts[4];
    for (const std::size_t i : {0, 1, 2, 9}) {
        texts[i == 9 ? 3 : i] = Unescape(fields[i]);
    }
    std::optional<std::uint64_t> numbers[6];
    for (std::size_t i = 0; i < 6; ++i) {
        numbers[i] = Number(fields[3 + i]);
    }
    if (std::any_of(std::begin(texts), std::end(texts), [](const auto& text) { return !text || text->empty(); }) ||
        std::any_of(std::begin(numbers), std::end(numbers), [](const auto& number) { return !number; })) {
        return std::nullopt;
    }
    LogEntry entry{std::move(*texts[1]),
                   SharedWith(std::move(*texts[2]), previous != nullptr ? &previous->tileset : nullptr),
                   {{*numbers[0], *numbers[1]}, {*numbers[2], *numbers[3]}, {*numbers[4], *numbers[5]}},
                   SharedWith(std::move(*texts[3]), previous != nullptr ? &previous->version : nullptr),
                   {}};
    if (count > kFields) {
        const std::optional<std::uint64_t> size = Number(fields[kFields]);
        const std::optional<std::uint64_t> modified = Number(fields[kFields + 1]);
        std::optional<std::string> drawing = Unescape(fields[kFields + 2]);
        if (!size || !modified || !drawing || drawing->empty()) {
            return std::nullopt;
        }
        entry.picture = DrawnPicture{{*size, *modified}, std::move(*drawing)};
    }
    return std::pair{std::move(*texts[0]), std::move(entry)};
}

std::optional<std::string> ReadAll(FileSystem& files, const std::string& path) {
    const Expected<FileStatus> status = files.Status(path);
    // Anything but a regular file (a FIFO would never end) is no log; it is never opened.
    if (!status || status->kind != FileKind::Regular || status->size > kLargestLog) {
        return std::nullopt;
    }
    Expected<std::unique_ptr<File>> file = files.Open(path, OpenMode::Read);
    if (!file) {
        return std::nullopt;
    }
    std::string text;
    text.reserve(static_cast<std::size_t>(status->size) + kChunk);  // the size checked above
    for (;;) {
        const std::size_t had = text.size();
        if (had + kChunk > kLargestLog) {
            return std::nullopt;
        }
        text.resize(had + kChunk);
        const Expected<std::size_t> read = (*file)->Read(text.data() + had, kChunk);
        if (!read) {
            return std::nullopt;
        }
        text.resize(had + *read);
        if (*read < kChunk) {
            return text;
        }
    }
}

}  // namespace

BuildLog BuildLog::Read(FileSystem& files, const std::string& path) {
    BuildLog log;
    const std::optional<std::string> text = ReadAll(files, path);
    if (!text) {
        return log;
    }
    const std::string_view all(*text);
    std::size_t end = all.find('\n');
    if (end == std::string_view::npos || all.substr(0, end) != kFirstLine) {
        return log;
    }
    // Each line ends in a newline: a last line without one was cut short.
    const LogEntry* previous = nullptr;
    for (std::size_t start = end + 1; (end = all.find('\n', start)) != std::string_view::npos; start = end + 1) {
        if (std::optional<std::pair<std::string, LogEntry>> line = ParseLine(all.substr(start, end - start), previous)) {
            previous = &log.entries_.insert_or_assign(std::move(line->first), std::move(line->second)).first->second;
        }
    }
    return log;
}

const LogEntry* BuildLog::Find(const std::string& output) const {
    const auto it = entries_.find(output);
    return it == entries_.end() ? nullptr : &it->second;
}

bool BuildLog::Names(const std::string& output, const std::string& map, const std::string& tileset,
                     const Made& stamps) const {
    const LogEntry* entry = Find(output);
    return entry != nullptr && entry->map == Plain(map) && *entry->tileset == Plain(tileset) &&
           entry->stamps == stamps && *entry->version == kVersion;
}

bool BuildLog::Drew(const std::string& output, const DrawnPicture& picture) const {
    const LogEntry* entry = Find(output);
    return entry != nullptr && entry->picture && *entry->picture == picture;
}

Expected<void> BuildLog::Write(FileSystem& files, const std::string& path, std::size_t count,
                               const std::function<std::optional<LogLine>(std::size_t)>& made) const {
    // A FIFO or device there would take the log in place, or wait for a reader: only a file is replaced.
    const Expected<FileStatus> status = files.Status(path);
    if (!status) {
        return status.error();
    }
    if (status->kind != FileKind::Regular && status->kind != FileKind::Missing && status->kind != FileKind::Link) {
        return NotARegularFile(path, status->kind).As(ErrorKind::Output);
    }
    // The entries kept: those of outputs not made again, as they were read, sorted.
    std::unordered_set<std::string_view> madeAgain;
    if (!entries_.empty()) {
        for (std::size_t i = 0; i < count; ++i) {
            if (const std::optional<LogLine> line = made(i)) {
                if (const auto entry = entries_.find(line->output); entry != entries_.end()) {
                    madeAgain.insert(entry->first);
                }
            }
        }
    }
    std::vector<const std::pair<const std::string, LogEntry>*> kept;
    for (const auto& item : entries_) {
        if (madeAgain.count(item.first) == 0) {
            kept.push_back(&item);
        }
    }
    std::sort(kept.begin(), kept.end(), [](const auto* a, const auto* b) { return a->first < b->first; });
    Expected<std::unique_ptr<OutputFile>> file = files.OpenOutput(path);
    if (!file) {
        return file.error();
    }
    std::string text(kFirstLine);
    text += '\n';
    // picture, a line's or an entry's, is empty when none was drawn.
    const auto put = [&](std::string_view output, const std::string& map, const std::string& tileset,
                         const Made& stamps, std::string_view version, const auto& picture) {
        Escape(text, output);
        for (const std::string* name : {&map, &tileset}) {
            text += '\t';
            Escape(text, *name);
        }
        for (const Stamp* stamp : {&stamps.map, &stamps.tileset, &stamps.output}) {
            text += '\t' + std::to_string(stamp->size) + '\t' + std::to_string(stamp->modified);
        }
        text += '\t';
        Escape(text, version);
        if (picture) {
            text += '\t' + std::to_string(picture->stamp.size) + '\t' + std::to_string(picture->stamp.modified) + '\t';
            Escape(text, picture->drawing);
        }
        text += '\n';
        if (text.size() >= kChunk) {
            (void)(*file)->Write(text.data(), text.size());  // a failed write is remembered: Commit gives the reason
            text.clear();
        }
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (const std::optional<LogLine> line = made(i)) {
            put(line->output, Plain(line->map), Plain(line->tileset), line->stamps, kVersion, line->picture);
        }
    }
    for (const auto* item : kept) {
        put(item->first, item->second.map, *item->second.tileset, item->second.stamps, *item->second.version,
            item->second.picture);
    }
    (void)(*file)->Write(text.data(), text.size());
    return (*file)->Commit();
}

}  // namespace gridport::batch
