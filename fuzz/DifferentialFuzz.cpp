// The streaming conversion against the map model: ConvertMap and
// ConvertMapThroughModel on the same input give the same result and the same
// bytes, and the check without an output (mapview's verdict) the same result.

#include "FuzzSupport.h"
#include "support/Conversion.h"

namespace {

using namespace gridport::test;

struct Run {
    ConversionOutcome outcome;
    Bytes output;
};

Run Converted(const ConversionInput& input, bool streaming, const std::string& outputPath) {
    MemoryFileSystem files;
    files.Put(kMapPath, input.map);
    files.Put(input.TilesetPath(), input.tileset);
    gridport::Error error;
    const ConversionOutcome outcome =
        streaming ? gridport::ConvertMap(kMapPath, input.TilesetPath(), outputPath, files, error)
                  : gridport::ConvertMapThroughModel(kMapPath, input.TilesetPath(), outputPath, files, error);
    Require(files.OpenFiles() == 0, "a file was left open");
    Require((outcome == ConversionOutcome::Converted) == !error.Failed(), "the reason disagrees with the result");
    Require(outcome == ConversionOutcome::Converted || !files.Has(kOutputPath), "a failed conversion left a file");
    return {outcome, files.Get(kOutputPath)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ConversionInput input = SplitConversionInput(data, size);
    const Run model = Converted(input, false, kOutputPath);
    const Run streamed = Converted(input, true, kOutputPath);
    Require(streamed.outcome == model.outcome, "the streaming pass ends otherwise than the model");
    Require(streamed.output == model.output, "the streaming pass writes other bytes than the model");
    Require(Converted(input, true, {}).outcome == model.outcome, "the verdict without output disagrees");
    return 0;
}
