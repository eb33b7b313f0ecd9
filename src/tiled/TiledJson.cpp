// Tiled's JSON read for the import: numbers, texts, flags and custom properties, checked as they are taken.

#include "tiled/TiledJson.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "tiled/TiledNames.h"

namespace gridport::tiled {

void Refuse(Error error) {
    throw Refusal{std::move(error)};
}

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

void Place::Fail(const std::string& message, ErrorKind kind) const {
    Refuse(Error(kind, path, where.empty() ? message : where + ": " + message));
}

const Json* Find(const Json& object, const std::string& key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

// A JSON number that is whole, within lo to hi; Tiled writes some whole numbers as 3.0.
std::int64_t WholeNumber(const Json& value, const Place& place, const std::string& name, std::int64_t lo,
                         std::int64_t hi) {
    std::int64_t number = 0;
    if (value.is_number_unsigned()) {
        const std::uint64_t unsignedNumber = value.get<std::uint64_t>();
        if (unsignedNumber > static_cast<std::uint64_t>(hi)) {
            place.Fail(name + " is " + std::to_string(unsignedNumber) + "; it must be " + std::to_string(lo) +
                       " to " + std::to_string(hi));
        }
        number = static_cast<std::int64_t>(unsignedNumber);
    } else if (value.is_number_integer()) {
        number = value.get<std::int64_t>();
    } else if (value.is_number_float()) {
        const double real = value.get<double>();
        if (!std::isfinite(real) || real != std::floor(real) || std::fabs(real) > 1e15) {
            place.Fail(name + " is " + value.dump() + ", not a whole number");
        }
        number = static_cast<std::int64_t>(real);
    } else {
        place.Fail(name + " is not a number");
    }
    if (number < lo || number > hi) {
        place.Fail(name + " is " + std::to_string(number) + "; it must be " + std::to_string(lo) + " to " +
                   std::to_string(hi));
    }
    return number;
}

// An object's position or size in pixels, rounded to whole pixels as drawn in Tiled, within lo to hi.
std::int64_t Pixels(const Json& object, const std::string& key, const Place& place, std::int64_t lo, std::int64_t hi,
                    std::int64_t fallback) {
    const Json* value = Find(object, key);
    if (value == nullptr) {
        return fallback;
    }
    if (!value->is_number()) {
        place.Fail(key + " is not a number");
    }
    const double real = value->get<double>();
    if (!std::isfinite(real) || std::round(real) < static_cast<double>(lo) || std::round(real) > static_cast<double>(hi)) {
        place.Fail(key + " is " + value->dump() + "; it must be " + std::to_string(lo) + " to " + std::to_string(hi));
    }
    return static_cast<std::int64_t>(std::round(real));
}

std::int64_t Integer(const Json& object, const std::string& key, const Place& place, std::int64_t lo,
                     std::int64_t hi, std::optional<std::int64_t> fallback) {
    const Json* value = Find(object, key);
    if (value == nullptr) {
        if (!fallback) {
            place.Fail("no " + key);
        }
        return *fallback;
    }
    return WholeNumber(*value, place, key, lo, hi);
}

std::string Text(const Json& object, const std::string& key, const Place& place,
                 std::optional<std::string> fallback) {
    const Json* value = Find(object, key);
    if (value == nullptr) {
        if (!fallback) {
            place.Fail("no " + key);
        }
        return *fallback;
    }
    if (!value->is_string()) {
        place.Fail(key + " is not text");
    }
    return value->get<std::string>();
}

bool Flag(const Json& object, const std::string& key, const Place& place, bool fallback) {
    const Json* value = Find(object, key);
    if (value == nullptr) {
        return fallback;
    }
    if (!value->is_boolean()) {
        place.Fail(key + " is not true or false");
    }
    return value->get<bool>();
}

const Json& List(const Json& object, const std::string& key, const Place& place) {
    const Json* value = Find(object, key);
    if (value == nullptr || !value->is_array()) {
        place.Fail(value == nullptr ? "no " + key : key + " is not a list");
    }
    return *value;
}

// Base64 as Tiled writes it; white space is skipped and the padding may be left out. Empty when not base64.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t bits = 0;
    int held = 0;
    std::size_t padding = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else if (c == '=') {
            ++padding;
            continue;
        } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
            continue;
        }
        if (value < 0 || padding > 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++held == 4) {
            bytes.push_back(static_cast<std::uint8_t>(bits >> 16));
            bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
            bytes.push_back(static_cast<std::uint8_t>(bits));
            bits = 0;
            held = 0;
        }
    }
    if (held == 1 || padding > 2) {
        return std::nullopt;
    }
    if (held == 2) {
        bytes.push_back(static_cast<std::uint8_t>(bits >> 4));
    } else if (held == 3) {
        bytes.push_back(static_cast<std::uint8_t>(bits >> 10));
        bytes.push_back(static_cast<std::uint8_t>(bits >> 2));
    }
    return bytes;
}

// A text an RMP string can hold: no zero byte (the writer would end it there), at most 65535 bytes.
std::string RmpText(std::string text, const Place& place, const std::string& name) {
    if (text.find('\0') != std::string::npos) {
        place.Fail(name + " holds a zero byte, which an RMP string can't");
    }
    if (text.size() > kMostStringBytes) {
        place.Fail(name + " is " + std::to_string(text.size()) + " bytes long; an RMP string holds at most " +
                       std::to_string(kMostStringBytes),
                   ErrorKind::Limit);
    }
    return text;
}

// The segments property: "x1 y1 x2 y2" per line, signed 32-bit decimals.
using LayerSegment = std::array<std::int32_t, 4>;

std::vector<LayerSegment> ParseSegments(std::string_view text, const Place& place) {
    std::vector<LayerSegment> segments;
    std::size_t line = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view row = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++line;
        LayerSegment segment{};
        for (std::int32_t& value : segment) {
            while (!row.empty() && (row.front() == ' ' || row.front() == '\t' || row.front() == '\r')) {
                row.remove_prefix(1);
            }
            const auto [next, status] = std::from_chars(row.data(), row.data() + row.size(), value);
            if (status != std::errc()) {
                place.Fail("property " + Quoted(tiled::kSegments) + " line " + std::to_string(line) +
                           " is not four signed 32-bit numbers");
            }
            row.remove_prefix(static_cast<std::size_t>(next - row.data()));
        }
        if (row.find_first_not_of(" \t\r") != std::string_view::npos) {
            place.Fail("property " + Quoted(tiled::kSegments) + " line " + std::to_string(line) +
                       " holds more than four numbers");
        }
        segments.push_back(segment);
    }
    return segments;
}

// A path as given in a file, relative to that file's folder unless it is rooted.
std::string Beside(const std::string& file, const std::string& relative) {
    const bool rooted = !relative.empty() && (relative[0] == '/' || relative[0] == '\\' ||
                                              (relative.size() > 1 && relative[1] == ':'));
    return rooted ? relative : file.substr(0, FileNameStart(file)) + relative;
}

JsonFile::JsonFile(const std::string& path, FileSystem& fileSystem) : path_(path), block_(64 * 1024) {
    Expected<std::unique_ptr<File>> file = fileSystem.Open(path, OpenMode::Read);
    if (!file) {
        Refuse(file.error());
    }
    file_ = std::move(*file);
}

bool JsonFile::Refill() {
    if (failure_) {
        return false;
    }
    Expected<std::size_t> read = file_->Read(block_.data(), block_.size());
    if (!read) {
        failure_ = read.error();
        return false;
    }
    at_ = block_.data();
    end_ = at_ + *read;
    delivered_ += *read;
    return *read > 0;
}

void JsonFile::Begin() {
    if (rewind_) {
        if (Expected<void> rewound = file_->Seek(0); !rewound) {
            Refuse(rewound.error());
        }
    }
    rewind_ = true;
    at_ = nullptr;
    end_ = nullptr;
    delivered_ = 0;
    if (Iterator begin(this); begin != Iterator() && *begin == '<') {
        Refuse(Error(path_, "an XML file, not JSON: save it as JSON (or, for a tileset, embed it in the map)"));
    }
}

void JsonFile::End(const std::optional<JsonEvents::Refused>& refused) {
    if (failure_) {
        Refuse(*failure_);
    }
    if (!refused) {
        return;
    }
    if (!refused->syntax) {
        Refuse(Error(path_, "unexpected JSON: " + refused->what));
    }
    // "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ...": what follows the
    // position, which the offset gives.
    const std::size_t colon = refused->what.find(": ");
    const std::string message = colon == std::string::npos ? refused->what : refused->what.substr(colon + 2);
    const std::uint64_t offset = refused->byte > 0 ? refused->byte - 1 : 0;
    Refuse(Error(path_, std::min<std::uint64_t>(offset, delivered_), "malformed JSON: " + message));
}

Json JsonFile::Parse() {
    Begin();
    try {
        Json json = Json::parse(Iterator(this), Iterator());
        End(std::nullopt);
        return json;
    } catch (const Json::parse_error& error) {
        End(JsonEvents::Refused{error.byte, true, error.what()});
        throw;  // not reached: End refuses
    }
}

Json LoadJson(const std::string& path, FileSystem& fileSystem) {
    return JsonFile(path, fileSystem).Parse();
}

}  // namespace gridport::tiled
