#include "batch/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/Text.h"

namespace gridport::batch {

namespace {

constexpr std::size_t kReportPiece = 64 * 1024;

// A CSV field, quoted when it must be (RFC 4180).
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// A path as JSON: {"text": path} when it is UTF-8, else {"bytes": its bytes in base64}.
nlohmann::ordered_json PathJson(const std::string& path) {
    nlohmann::ordered_json value;
    if (IsUtf8(path)) {
        value["text"] = path;
    } else {
        value["bytes"] = Base64(path);
    }
    return value;
}

// The same, or null for none.
template <typename Path>
nlohmann::ordered_json PathJson(const Path& path) {
    return path ? PathJson(*path) : nlohmann::ordered_json(nullptr);
}

// Milliseconds to the microsecond: the report's figures, not the clock's noise.
double Rounded(double milliseconds) {
    return std::round(milliseconds * 1000.0) / 1000.0;
}

// The picture's path when it was drawn in this run.
std::optional<std::string> Drawn(const MapEntry& map, const MapRecord& record) {
    if (record.picture != PictureResult::Drawn) {
        return std::nullopt;
    }
    return PicturePath(map);
}

}  // namespace

void WriteReportText(const MapList& maps, const std::vector<MapRecord>& records,
                     const std::vector<Error>& unreadable, ReportFormat format, bool pictures,
                     const std::function<void(std::string_view)>& put) {
    std::string text;
    // Passed on in pieces, so that a report of a million maps is never held whole.
    const auto flush = [&](bool last) {
        if (last || text.size() >= kReportPiece) {
            put(text);
            text.clear();
        }
    };
    if (format == ReportFormat::Csv) {
        text = "source,tileset,output,result,reason,bytes,milliseconds";
        text += pictures ? ",picture\r\n" : "\r\n";
        for (std::size_t i = 0; i < maps.size(); ++i) {
            const MapEntry map = maps[i];
            const MapRecord& record = records[i];
            char milliseconds[32];
            std::snprintf(milliseconds, sizeof milliseconds, "%.3f", record.milliseconds);
            text += CsvField(map.map) + "," + CsvField(record.tileset.value_or("")) + "," +
                    CsvField(map.output) + "," + ResultName(record.result) + "," +
                    CsvField(record.failure ? record.failure->Text() : "") + "," + std::to_string(record.bytes) +
                    "," + milliseconds;
            if (pictures) {
                text.append(",").append(CsvField(Drawn(map, record).value_or("")));
            }
            text += "\r\n";
            flush(false);
        }
        for (const Error& folder : unreadable) {
            text += CsvField(folder.Path()) + ",,," + ResultName(MapResult::Failed) + "," + CsvField(folder.Text()) +
                    ",0,0.000";
            text += pictures ? ",\r\n" : "\r\n";
        }
        return flush(true);
    }
    // A JSON array, indented by two, one object at a time.
    bool first = true;
    const auto add = [&](const nlohmann::ordered_json& item) {
        text += first ? "[\n  " : ",\n  ";
        first = false;
        // A reason holds names, which are disk bytes and not always UTF-8: it is kept readable rather than refused.
        // No string in it holds a line break (JSON escapes them): each line of the object is indented by two more.
        const std::string object = item.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        for (const char c : object) {
            text += c;
            if (c == '\n') {
                text += "  ";
            }
        }
        flush(false);
    };
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const MapEntry map = maps[i];
        const MapRecord& record = records[i];
        nlohmann::ordered_json item;
        item["source"] = PathJson(map.map);
        item["tileset"] = PathJson(record.tileset);
        item["output"] = PathJson(map.output);
        item["result"] = ResultName(record.result);
        item["reason"] = record.failure ? nlohmann::ordered_json(record.failure->Text()) : nlohmann::ordered_json(nullptr);
        item["bytes"] = record.bytes;
        item["milliseconds"] = Rounded(record.milliseconds);
        if (pictures) {
            item["picture"] = PathJson(Drawn(map, record));
        }
        add(item);
    }
    for (const Error& folder : unreadable) {
        nlohmann::ordered_json item;
        item["source"] = PathJson(folder.Path());
        item["tileset"] = nullptr;
        item["output"] = nullptr;
        item["result"] = ResultName(MapResult::Failed);
        item["reason"] = folder.Text();
        item["bytes"] = 0;
        item["milliseconds"] = 0.0;
        if (pictures) {
            item["picture"] = nullptr;
        }
        add(item);
    }
    text += first ? "[]\n" : "\n]\n";
    flush(true);
}

std::string ReportText(const MapList& maps, const std::vector<MapRecord>& records,
                       const std::vector<Error>& unreadable, ReportFormat format, bool pictures) {
    std::string text;
    WriteReportText(maps, records, unreadable, format, pictures, [&text](std::string_view piece) { text += piece; });
    return text;
}

}  // namespace gridport::batch
