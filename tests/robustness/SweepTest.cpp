// Sweeps over broken variants of small valid inputs: every byte changed,
// every prefix, every file operation failing. Whatever happens, no file stays
// open, a failed import writes nothing, and a success is a well-formed RMP
// file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "convert/Conversion.h"
#include "support/Conversion.h"
#include "support/Files.h"
#if GRIDPORT_WITH_VIEW
#include "view/MapViewCommand.h"
#endif

namespace gridport {
namespace {

using test::Bytes;
using test::ConversionOutcome;
using test::ConversionSample;
using test::FileOperation;
using test::kOutputPath;
using test::MemoryFileSystem;

struct Attempt {
    ConversionOutcome outcome;
    Bytes output;
    // Empty when the run kept every promise.
    std::string fault;
    std::string reasonFile;
};

// One conversion through the conversion core, on files in memory.
Attempt Checked(MemoryFileSystem& files, const std::string& tilesetPath) {
    const bool hadOutput = files.Has(kOutputPath);
    const Bytes oldOutput = files.Get(kOutputPath);
    const std::uint32_t oldMode = files.Mode(kOutputPath);
    std::vector<std::string> paths = files.Paths();
    std::optional<Error> reason;
    const ConversionOutcome outcome = test::Convert(files, tilesetPath, &reason);
    Attempt run{outcome, files.Get(kOutputPath), {}, reason ? reason->Path() : ""};
    if (run.outcome == ConversionOutcome::Converted && !hadOutput) {
        paths.push_back(kOutputPath);
        std::sort(paths.begin(), paths.end());
    }
    if (files.OpenFiles() != 0) {
        run.fault = "a file was left open";
    } else if (files.Paths() != paths) {
        run.fault = "a temporary file was left behind";
    } else if (run.outcome != ConversionOutcome::Converted &&
               (files.Has(kOutputPath) != hadOutput || run.output != oldOutput)) {
        run.fault = "a failed conversion changed the output path";
    } else if (hadOutput && files.Mode(kOutputPath) != oldMode) {
        run.fault = "the output lost its permission bits";
    } else if (run.outcome == ConversionOutcome::Converted) {
        run.fault = test::RmpFault(run.output);
    } else if (!reason || reason->Message().empty()) {
        run.fault = "a failure without a reason";
    }
    return run;
}

// The conversion core's attempt, with a fault when the plain reference
// differs from it in outcome or bytes, the check that writes nothing differs
// in outcome, mapview's verdict differs from gridport's outcome, or a
// failure's reason names another file than failingFile.
Attempt Checked(const Bytes& map, const Bytes& tileset, const std::string& tilesetPath,
                const std::string& failingFile = {}) {
    MemoryFileSystem files;
    files.Put(test::kMapPath, map);
    files.Put(tilesetPath, tileset);
    Attempt run = Checked(files, tilesetPath);
    Bytes reference;
    const ConversionOutcome expected = test::ReferenceConversion(map, tileset, tilesetPath, reference);
    // The check that writes nothing.
    MemoryFileSystem checked;
    checked.Put(test::kMapPath, map);
    checked.Put(tilesetPath, tileset);
    FormatCheck check;
    Expected<void> verdict = RunConversion(test::kMapPath, tilesetPath, checked, check);
    const ConversionOutcome checkOutcome = !verdict          ? ConversionOutcome::ImportFailed
                                           : check.Result() ? ConversionOutcome::Converted
                                                            : ConversionOutcome::SaveFailed;
    if (!run.fault.empty()) {
        return run;
    }
    if (run.outcome != expected || (expected == ConversionOutcome::Converted && run.output != reference)) {
        run.fault = "the conversion differs from the reference";
    } else if (checkOutcome != run.outcome) {
        run.fault = "the check without an output differs from the conversion";
    } else if (!failingFile.empty() && run.outcome == ConversionOutcome::ImportFailed &&
               run.reasonFile != failingFile) {
        run.fault = "the reason names " + run.reasonFile + ", not " + failingFile;
    }
#if GRIDPORT_WITH_VIEW
    if (run.fault.empty()) {
        MemoryFileSystem viewed;
        viewed.Put(test::kMapPath, map);
        viewed.Put(tilesetPath, tileset);
        std::string out;
        std::string err;
        const bool converts = RunMapView({test::kMapPath, tilesetPath}, viewed, out, err) == 0;
        if (converts != (run.outcome == ConversionOutcome::Converted)) {
            run.fault = "mapview's verdict differs from gridport's: " + err;
        }
    }
#endif
    return run;
}

// The bytes the byte at `at` is replaced by: its complement, 0, 255 and
// each single-bit flip, without repeats and without the byte itself. In an
// instrumented build, one flip a byte, each bit in turn along the file.
Bytes Replacements(std::uint8_t byte, [[maybe_unused]] std::size_t at) {
    Bytes values = {static_cast<std::uint8_t>(~byte), 0, 255};
#ifdef GRIDPORT_INSTRUMENTED
    values.push_back(static_cast<std::uint8_t>(byte ^ (1 << (at % 8))));
#else
    for (int bit = 0; bit < 8; ++bit) {
        values.push_back(static_cast<std::uint8_t>(byte ^ (1 << bit)));
    }
#endif
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
    std::erase(values, byte);
    return values;
}

class Sweep : public ::testing::TestWithParam<ConversionSample> {
protected:
    void SetUp() override {
        const ConversionSample& sample = GetParam();
        const Attempt full = Checked(sample.map, sample.tileset, sample.tilesetPath);
        ASSERT_EQ(full.outcome, ConversionOutcome::Converted);
        ASSERT_EQ(full.fault, "");
        expected = full.output;
    }

    Bytes expected;
};

class ByteSweep : public Sweep {};
class PrefixSweep : public Sweep {};
class FaultSweep : public Sweep {};

TEST_P(ByteSweep, EveryChangedByteFailsCleanlyOrGivesAWellFormedFile) {
    const ConversionSample& sample = GetParam();
    for (const bool inMap : {true, false}) {
        Bytes changed = inMap ? sample.map : sample.tileset;
        for (std::size_t i = 0; i < changed.size(); ++i) {
            const std::uint8_t original = changed[i];
            for (const std::uint8_t value : Replacements(original, i)) {
                changed[i] = value;
                const Attempt run = inMap ? Checked(changed, sample.tileset, sample.tilesetPath)
                                      : Checked(sample.map, changed, sample.tilesetPath);
                ASSERT_EQ(run.fault, "") << (inMap ? "MAP" : "tileset") << " byte " << i << " = " << int{value};
            }
            changed[i] = original;
        }
    }
}

// A prefix that still holds every byte the import reads converts exactly as
// the whole file; any shorter one fails without output.
TEST_P(PrefixSweep, EveryPrefixFailsCleanlyOrConvertsAsTheWholeFile) {
    const ConversionSample& sample = GetParam();
    for (const bool inMap : {true, false}) {
        const Bytes& whole = inMap ? sample.map : sample.tileset;
        const std::size_t used = inMap ? sample.mapUsed : sample.tilesetUsed;
        for (std::size_t size = 0; size <= whole.size(); ++size) {
            const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
            const Attempt run = inMap ? Checked(prefix, sample.tileset, sample.tilesetPath, test::kMapPath)
                                  : Checked(sample.map, prefix, sample.tilesetPath, sample.tilesetPath);
            ASSERT_EQ(run.fault, "") << (inMap ? "MAP" : "tileset") << " prefix " << size;
            if (size >= used) {
                ASSERT_EQ(run.outcome, ConversionOutcome::Converted) << size;
                ASSERT_EQ(run.output, expected) << size;
            } else {
                ASSERT_EQ(run.outcome, ConversionOutcome::ImportFailed) << size;
            }
        }
    }
}

// Each call of each file operation that a conversion makes fails once in
// turn (the temporary file's creation and its rename included), with and
// without an older output of mode 0600: every such failure makes the
// conversion fail and leaves the output path exactly as it was.
TEST_P(FaultSweep, EveryFailedFileOperationFailsTheConversion) {
    const ConversionSample& sample = GetParam();
    for (const bool oldOutput : {false, true}) {
        const auto fill = [&](MemoryFileSystem& files) {
            files.Put(test::kMapPath, sample.map);
            files.Put(sample.tilesetPath, sample.tileset);
            if (oldOutput) {
                files.Put(kOutputPath, {1, 2, 3});
                files.SetMode(kOutputPath, 0600);
            }
        };
        MemoryFileSystem counted;
        fill(counted);
        const Attempt clean = Checked(counted, sample.tilesetPath);
        ASSERT_EQ(clean.fault, "");
        ASSERT_EQ(clean.output, expected);
        ASSERT_EQ(counted.Calls(FileOperation::Rename), 1);
        for (int op = 0; op < static_cast<int>(FileOperation::Count); ++op) {
            const auto operation = static_cast<FileOperation>(op);
            for (int call = 1; call <= counted.Calls(operation); ++call) {
                MemoryFileSystem files;
                fill(files);
                files.FailAt(operation, call);
                const Attempt run = Checked(files, sample.tilesetPath);
                EXPECT_EQ(run.fault, "") << "operation " << op << " call " << call << " old output " << oldOutput;
                EXPECT_NE(run.outcome, ConversionOutcome::Converted) << "operation " << op << " call " << call;
            }
        }
    }
}

std::vector<ConversionSample> SamplesAndExamples(bool large) {
    std::vector<ConversionSample> samples = test::SmallConversions();
    if (large) {
        const std::vector<ConversionSample> more = test::LargeConversions();
        samples.insert(samples.end(), more.begin(), more.end());
    }
    for (const auto& [name, tileset] : {std::pair{"village", "village.vsp"}, std::pair{"castle", "castle.rts"},
                                        std::pair{"harbour", "harbour.vsp"}}) {
        const std::filesystem::path examples(GRIDPORT_EXAMPLES_DIR);
        const Bytes map = test::ReadDiskFile((examples / (std::string(name) + ".map")).string());
        const Bytes tiles = test::ReadDiskFile((examples / tileset).string());
        samples.push_back({std::string("example_") + name, map, tiles, tileset, map.size(), tiles.size()});
    }
    return samples;
}

const auto kNamed = [](const auto& info) { return info.param.name; };
// Every byte and every prefix of the large files would take too long.
INSTANTIATE_TEST_SUITE_P(Samples, ByteSweep, ::testing::ValuesIn(test::SmallConversions()), kNamed);
INSTANTIATE_TEST_SUITE_P(Samples, PrefixSweep, ::testing::ValuesIn(SamplesAndExamples(false)), kNamed);
INSTANTIATE_TEST_SUITE_P(Samples, FaultSweep, ::testing::ValuesIn(SamplesAndExamples(true)), kNamed);

}  // namespace
}  // namespace gridport
