#pragma once

// The import's reading of Tiled's JSON: values checked as they are taken, each failure naming its file and place.
// A failure travels as a Refusal, thrown where it is found and caught where the import returns its Expected, so none
// leaves the import (the parsing it stops is deeply nested, and nothing it leaves behind needs undoing).

#include <nlohmann/json.hpp>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/Error.h"
#include "filesystem/FileSystem.h"
#include "tiled/TiledNames.h"

namespace gridport::tiled {

using Json = nlohmann::json;

constexpr std::int64_t kMost16 = 65535;
constexpr std::int64_t kMost8 = 255;
constexpr std::int64_t kMostSize = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kMostStringBytes = 65535;

// A failure on its way up to ImportTiledMap, which returns it.
struct Refusal {
    Error error;
};

[[noreturn]] void Refuse(Error error);

std::string Quoted(std::string_view text);

// Where a value is, for the reasons: the file, and words such as "layer "ground"" before the message.
struct Place {
    const std::string& path;
    std::string where;

    [[noreturn]] void Fail(const std::string& message, ErrorKind kind = ErrorKind::Input) const;
    Place Within(const std::string& more) const { return Place{path, where.empty() ? more : where + ", " + more}; }
};

// The member, or null when missing (or when object isn't an object).
const Json* Find(const Json& object, const std::string& key);
// A JSON number that is whole, within lo to hi; Tiled writes some whole numbers as 3.0.
std::int64_t WholeNumber(const Json& value, const Place& place, const std::string& name, std::int64_t lo,
                         std::int64_t hi);
// An object's position or size in pixels, rounded to whole pixels as drawn in Tiled, within lo to hi.
std::int64_t Pixels(const Json& object, const std::string& key, const Place& place, std::int64_t lo, std::int64_t hi,
                    std::int64_t fallback = 0);
// Members of a kind: without a fallback, a missing one fails.
std::int64_t Integer(const Json& object, const std::string& key, const Place& place, std::int64_t lo,
                     std::int64_t hi, std::optional<std::int64_t> fallback = std::nullopt);
std::string Text(const Json& object, const std::string& key, const Place& place,
                 std::optional<std::string> fallback = std::nullopt);
bool Flag(const Json& object, const std::string& key, const Place& place, bool fallback);
const Json& List(const Json& object, const std::string& key, const Place& place);

// Base64 as Tiled writes it; white space is skipped and the padding may be left out. Empty when not base64.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);
// A text an RMP string can hold: no zero byte (the writer would end it there), at most 65535 bytes.
std::string RmpText(std::string text, const Place& place, const std::string& name);

// An object's Tiled custom properties by name, each read as its mapping wants it, with the default when missing.
class Properties {
public:
    Properties(const Json& owner, Place place) : place_(std::move(place)) {
        const Json* list = Find(owner, "properties");
        if (list == nullptr) {
            return;
        }
        if (!list->is_array()) {
            place_.Fail("its properties are not a list");
        }
        for (const Json& property : *list) {
            const Json* name = Find(property, "name");
            const Json* value = Find(property, "value");
            if (name == nullptr || !name->is_string() || value == nullptr) {
                place_.Fail("a property without a name or a value");
            }
            byName_[name->get<std::string>()] = value;
        }
    }

    std::int64_t Int(std::string_view name, std::int64_t lo, std::int64_t hi, std::int64_t fallback) const {
        const Json* value = Get(name);
        return value == nullptr ? fallback : WholeNumber(*value, place_, "property " + Quoted(name), lo, hi);
    }
    bool Bool(std::string_view name, bool fallback) const {
        const Json* value = Get(name);
        if (value != nullptr && !value->is_boolean()) {
            place_.Fail("property " + Quoted(name) + " is not true or false");
        }
        return value == nullptr ? fallback : value->get<bool>();
    }
    // A number, or its bit pattern as "0x%08x" text (how a value that isn't finite, or is -0, is kept).
    float Float(std::string_view name, float fallback) const {
        const Json* value = Get(name);
        if (value == nullptr) {
            return fallback;
        }
        if (value->is_number()) {
            const double real = value->get<double>();
            if (std::fabs(real) > static_cast<double>(std::numeric_limits<float>::max())) {
                place_.Fail("property " + Quoted(name) + " is " + value->dump() + ", beyond a 32-bit float");
            }
            return static_cast<float>(real);
        }
        const std::string text = value->is_string() ? value->get<std::string>() : std::string();
        std::uint32_t bits = 0;
        const char* end = text.data() + text.size();
        if (text.size() != 10 || text.compare(0, 2, "0x") != 0 ||
            std::from_chars(text.data() + 2, end, bits, 16).ptr != end) {
            place_.Fail("property " + Quoted(name) + " is neither a number nor a bit pattern 0x%08x");
        }
        return std::bit_cast<float>(bits);
    }
    // The exact bytes of a base64 property; nothing when it isn't there.
    std::optional<std::string> Bytes(const std::string& name) const {
        const Json* bytes = Get(name);
        if (bytes == nullptr) {
            return std::nullopt;
        }
        std::optional<std::vector<std::uint8_t>> decoded;
        if (bytes->is_string()) {
            decoded = DecodeBase64(bytes->get<std::string>());
        }
        if (!decoded) {
            place_.Fail("property " + Quoted(name) + " is not base64 text");
        }
        return RmpText(std::string(decoded->begin(), decoded->end()), place_, "property " + Quoted(name));
    }
    // The exact bytes: "NAME bytes" (base64) wins over NAME; nothing when neither is there.
    std::optional<std::string> String(std::string_view name) const {
        if (std::optional<std::string> bytes = Bytes(std::string(name) + std::string(tiled::kBytesSuffix))) {
            return bytes;
        }
        const Json* value = Get(name);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_string()) {
            place_.Fail("property " + Quoted(name) + " is not text");
        }
        return RmpText(value->get<std::string>(), place_, "property " + Quoted(name));
    }

private:
    const Json* Get(std::string_view name) const {
        const auto found = byName_.find(std::string(name));
        return found == byName_.end() ? nullptr : found->second;
    }

    Place place_;
    std::map<std::string, const Json*> byName_;
};

// The segments property: "x1 y1 x2 y2" per line, signed 32-bit decimals.
using LayerSegment = std::array<std::int32_t, 4>;
std::vector<LayerSegment> ParseSegments(std::string_view text, const Place& place);

// A path as given in a file, relative to that file's folder unless it is rooted.
std::string Beside(const std::string& file, const std::string& relative);

// The base of an event handler for JsonFile::Parse (nlohmann's SAX interface): the parser's refusal is kept here.
struct JsonEvents {
    struct Refused {
        std::size_t byte = 0;
        bool syntax = false;  // malformed JSON, rather than a number beyond a double
        std::string what;
    };
    std::optional<Refused> refused;

    bool parse_error(std::size_t byte, const std::string&, const Json::exception& error) {
        refused = Refused{byte, dynamic_cast<const Json::parse_error*>(&error) != nullptr, error.what()};
        return false;
    }
};

// A JSON file read through a block buffer, never held whole, and parsed as often as asked, each time from its start.
// A read that fails ends the parser's input and its Error is the parse's failure, not the malformed JSON it leaves.
// Malformed JSON fails with the byte offset where the parser stopped; a file that starts as XML is refused before any
// parsing.
class JsonFile {
public:
    JsonFile(const std::string& path, FileSystem& fileSystem);  // a Refusal when it can't be opened

    // The file as one value.
    Json Parse();
    // The file as parse events given to events, a JsonEvents; a Refusal events throws stops the parse.
    template <typename Events>
    void Parse(Events& events) {
        static_assert(std::is_base_of_v<JsonEvents, Events>);
        Begin();
        const bool parsed = Json::sax_parse(Iterator(this), Iterator(), &events);
        End(parsed ? std::nullopt : events.refused);
    }

    // The bytes for the parser: an input iterator, equal to the end one once the file has no more to give.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = char;
        using difference_type = std::ptrdiff_t;
        using pointer = const char*;
        using reference = const char&;

        Iterator() = default;
        explicit Iterator(JsonFile* file) : file_(file) {}
        const char& operator*() const { return *file_->at_; }
        Iterator& operator++() {
            ++file_->at_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const { return Ended() == other.Ended(); }

    private:
        bool Ended() const { return file_ == nullptr || (file_->at_ == file_->end_ && !file_->Refill()); }
        JsonFile* file_ = nullptr;
    };

private:
    void Begin();
    // Refuses the file when it failed to be read or parsed.
    void End(const std::optional<JsonEvents::Refused>& refused);
    bool Refill();

    std::string path_;
    std::unique_ptr<File> file_;
    std::vector<char> block_;
    const char* at_ = nullptr;  // the next byte in block_
    const char* end_ = nullptr;
    std::uint64_t delivered_ = 0;  // bytes the file gave this parse
    bool rewind_ = false;
    std::optional<Error> failure_;  // why the file stopped giving bytes
};

// The whole file parsed; malformed JSON fails with the byte offset where the parser stopped.
Json LoadJson(const std::string& path, FileSystem& fileSystem);

}  // namespace gridport::tiled
