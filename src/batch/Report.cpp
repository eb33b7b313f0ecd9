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

// A path as JSON: {"text": path} when it is UTF-8, else {"bytes": its bytes in base64}; null for none.
nlohmann::ordered_json PathJson(const std::optional<std::string>& path) {
    if (!path) {
        return nullptr;
    }
    nlohmann::ordered_json value;
    if (IsUtf8(*path)) {
        value["text"] = *path;
    } else {
        value["bytes"] = Base64(*path);
    }
    return value;
}

// Milliseconds to the microsecond: the report's figures, not the clock's noise.
double Rounded(double milliseconds) {
    return std::round(milliseconds * 1000.0) / 1000.0;
}

}  // namespace

std::string ReportText(const std::vector<MapEntry>& maps, const std::vector<MapRecord>& records,
                       const std::vector<Error>& unreadable, ReportFormat format) {
    if (format == ReportFormat::Csv) {
        std::string text = "source,tileset,output,result,reason,bytes,milliseconds\r\n";
        for (std::size_t i = 0; i < maps.size(); ++i) {
            const MapRecord& record = records[i];
            char milliseconds[32];
            std::snprintf(milliseconds, sizeof milliseconds, "%.3f", record.milliseconds);
            text += CsvField(maps[i].map) + "," + CsvField(record.tileset.value_or("")) + "," +
                    CsvField(maps[i].output) + "," + ResultName(record.result) + "," +
                    CsvField(record.failure ? record.failure->Text() : "") + "," + std::to_string(record.bytes) +
                    "," + milliseconds + "\r\n";
        }
        for (const Error& folder : unreadable) {
            text += CsvField(folder.Path()) + ",,," + ResultName(MapResult::Failed) + "," + CsvField(folder.Text()) +
                    ",0,0.000\r\n";
        }
        return text;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < maps.size(); ++i) {
        const MapRecord& record = records[i];
        nlohmann::ordered_json item;
        item["source"] = PathJson(maps[i].map);
        item["tileset"] = PathJson(record.tileset);
        item["output"] = PathJson(maps[i].output);
        item["result"] = ResultName(record.result);
        item["reason"] = record.failure ? nlohmann::ordered_json(record.failure->Text()) : nlohmann::ordered_json(nullptr);
        item["bytes"] = record.bytes;
        item["milliseconds"] = Rounded(record.milliseconds);
        list.push_back(std::move(item));
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
        list.push_back(std::move(item));
    }
    // A reason holds names, which are disk bytes and not always UTF-8: it is kept readable rather than refused.
    return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace gridport::batch
