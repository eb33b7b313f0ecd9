// The conversion core against the plain reference: the same result and the
// same bytes, and the check without an output (mapview's verdict) the same
// result.

#include "FuzzSupport.h"
#include "convert/Conversion.h"
#include "support/Conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gridport::test;
    const ConversionInput input = SplitConversionInput(data, size);
    Bytes converted;
    const ConversionOutcome outcome = Convert(input.map, input.tileset, input.TilesetPath(), &converted);
    Bytes reference;
    const ConversionOutcome expected = ReferenceConversion(input.map, input.tileset, input.TilesetPath(), reference);
    Require(outcome == expected, "the conversion ends otherwise than the reference");
    Require(outcome != ConversionOutcome::Converted || converted == reference,
            "the conversion writes other bytes than the reference");
    MemoryFileSystem files;
    files.Put(kMapPath, input.map);
    files.Put(input.TilesetPath(), input.tileset);
    gridport::FormatCheck check;
    const gridport::Expected<void> imported = gridport::RunConversion(kMapPath, input.TilesetPath(), files, check);
    const ConversionOutcome verdict = !imported        ? ConversionOutcome::ImportFailed
                                      : check.Result() ? ConversionOutcome::Converted
                                                       : ConversionOutcome::SaveFailed;
    Require(verdict == outcome, "the verdict without output disagrees");
    return 0;
}
