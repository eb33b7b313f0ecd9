// The report's text: one record per map, CSV fields quoted where a reader
// would split them, JSON nulls where nothing was found.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "batch/Report.h"

namespace gridport::batch {
namespace {

// No tileset and no reason are given as "".
MapRecord Record(MapResult result, std::string tileset, std::string reason, std::uint64_t bytes, double ms) {
    MapRecord record{result, {}, {}, bytes, ms, {}, false, PictureResult::NotDone, {}};
    if (!tileset.empty()) {
        record.tileset = std::move(tileset);
    }
    if (!reason.empty()) {
        record.failure = Error("", std::move(reason));
    }
    return record;
}

const std::vector<MapEntry> maps{{"src/a,b.map", "a,b.map", "out/a,b.rmp", {}},
                                 {"src/q\"uote.map", "q\"uote.map", "out/q\"uote.rmp", {}},
                                 {"src/c.map", "c.map", "out/c.rmp", {}}};
const std::vector<MapRecord> records{
    Record(MapResult::Converted, "src/t\r.vsp", "", 1234, 1.23456),
    Record(MapResult::Failed, "", "src/q\"uote.map: bad\r\nline", 0, 0.0004),
    Record(MapResult::NotDone, "", "", 0, 0)};

TEST(Report, CsvQuotesOnlyTheFieldsThatNeedIt) {
    EXPECT_EQ(ReportText(maps, records, {}, ReportFormat::Csv),
              "source,tileset,output,result,reason,bytes,milliseconds\r\n"
              "\"src/a,b.map\",\"src/t\r.vsp\",\"out/a,b.rmp\",converted,,1234,1.235\r\n"
              "\"src/q\"\"uote.map\",,\"out/q\"\"uote.rmp\",failed,\"src/q\"\"uote.map: bad\r\nline\",0,0.000\r\n"
              "src/c.map,,out/c.rmp,not-done,,0,0.000\r\n");
    EXPECT_EQ(ReportText({}, {}, {}, ReportFormat::Csv), "source,tileset,output,result,reason,bytes,milliseconds\r\n");
    // A folder that couldn't be read is a failed record with no tileset or output.
    EXPECT_EQ(ReportText({}, {}, {Error("src/x,y", "cannot list the folder")}, ReportFormat::Csv),
              "source,tileset,output,result,reason,bytes,milliseconds\r\n"
              "\"src/x,y\",,,failed,\"src/x,y: cannot list the folder\",0,0.000\r\n");
}

// With --png, a last field: the picture's path when it was drawn, empty or null when not.
TEST(Report, PicturesAddTheirPathLast) {
    std::vector<MapRecord> drawn = records;
    drawn[0].picture = PictureResult::Drawn;
    drawn[2].picture = PictureResult::WouldDraw;
    const std::string csv = ReportText(maps, drawn, {Error("src/x", "cannot list the folder")}, ReportFormat::Csv, true);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "source,tileset,output,result,reason,bytes,milliseconds,picture\r");
    EXPECT_NE(csv.find(",1234,1.235,\"out/a,b.png\"\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",not-done,,0,0.000,\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",failed,src/x: cannot list the folder,0,0.000,\r\n"), std::string::npos) << csv;
    const nlohmann::json json = nlohmann::json::parse(ReportText(maps, drawn, {}, ReportFormat::Json, true));
    EXPECT_EQ(json[0].at("picture").at("text"), "out/a,b.png");
    EXPECT_TRUE(json[2].at("picture").is_null());
}

TEST(Report, JsonHasOneObjectPerMapWithNullsForNothing) {
    const nlohmann::json report = nlohmann::json::parse(ReportText(maps, records, {}, ReportFormat::Json));
    ASSERT_EQ(report.size(), 3U);
    EXPECT_EQ(report[0], nlohmann::json::parse(R"({"source": {"text": "src/a,b.map"}, "tileset": {"text": "src/t\r.vsp"},
        "output": {"text": "out/a,b.rmp"}, "result": "converted", "reason": null, "bytes": 1234, "milliseconds": 1.235})"));
    EXPECT_TRUE(report[1].at("tileset").is_null());
    EXPECT_EQ(report[1].at("reason"), "src/q\"uote.map: bad\r\nline");
    EXPECT_EQ(report[1].at("milliseconds"), 0.0);
    EXPECT_EQ(report[2].at("result"), "not-done");
    EXPECT_EQ(ReportText({}, {}, {}, ReportFormat::Json), "[]\n");
    const nlohmann::json named = nlohmann::json::parse(ReportText(
        {maps[2], maps[2]}, {Record(MapResult::UpToDate, "t", "", 0, 0), Record(MapResult::WouldConvert, "t", "", 0, 0)},
        {}, ReportFormat::Json));
    EXPECT_EQ(named[0].at("result"), "up-to-date");
    EXPECT_EQ(named[1].at("result"), "would-convert");
    // A name that isn't UTF-8 keeps its bytes, in base64; two such names stay two. A reason is kept readable.
    const std::vector<MapEntry> odd{{"src/\xe9t\xe9.map", "\xe9t\xe9.map", "x\xff.rmp", {}},
                                    {"x\xfe.map", "x\xfe.map", "o/\xe2\x82\xac\xf0\x9f\x98\x80.rmp", {}}};
    const nlohmann::json bytes = nlohmann::json::parse(ReportText(
        odd, {records[2], Record(MapResult::Failed, "", "x\xfe.map: bad", 0, 0)}, {}, ReportFormat::Json));
    EXPECT_EQ(bytes[0].at("source"), nlohmann::json::parse(R"({"bytes": "c3JjL+l06S5tYXA="})"));
    EXPECT_EQ(bytes[0].at("output"), nlohmann::json::parse(R"({"bytes": "eP8ucm1w"})"));
    EXPECT_EQ(bytes[1].at("source"), nlohmann::json::parse(R"({"bytes": "eP4ubWFw"})"));
    EXPECT_EQ(bytes[1].at("output").at("text"), "o/\xe2\x82\xac\xf0\x9f\x98\x80.rmp");
    EXPECT_EQ(bytes[1].at("reason"), "x\xEF\xBF\xBD.map: bad");
    // Overlong forms, surrogates, code points past U+10FFFF, stray and cut sequences aren't UTF-8; the edges are.
    for (const auto& [name, utf8] : {std::pair{"\xc0\xaf", false}, {"\xe0\x80\x80", false}, {"\xf0\x80\x80\x80", false},
                                     {"\xed\xa0\x80", false}, {"\xf4\x90\x80\x80", false}, {"\xf5\x80\x80\x80", false},
                                     {"\x80", false}, {"\xe2\x82", false}, {"\xe2\x28\xa1", false}, {"\xdf\xbf", true},
                                     {"\xe0\xa0\x80", true}, {"\xed\x9f\xbf", true}, {"\xf0\x90\x80\x80", true},
                                     {"\xf4\x8f\xbf\xbf", true}}) {
        const std::vector<MapEntry> one{{name, name, "o", {}}};
        EXPECT_EQ(nlohmann::json::parse(ReportText(one, {records[2]}, {}, ReportFormat::Json))[0].at("source")
                      .contains("text"), utf8) << name;
    }
}

}  // namespace
}  // namespace gridport::batch
