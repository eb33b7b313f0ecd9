// The whole conversion over in-memory files, held to the plain reference.

#include "FuzzSupport.h"
#include "support/Conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gridport::test;
    const ConversionInput input = SplitConversionInput(data, size);
    MemoryFileSystem files;
    files.Put(kMapPath, input.map);
    files.Put(input.TilesetPath(), input.tileset);
    std::optional<gridport::Error> reason;
    const ConversionOutcome outcome = Convert(files, input.TilesetPath(), &reason);
    Require(files.OpenFiles() == 0, "a file was left open");
    Require((outcome == ConversionOutcome::Converted) == !reason, "the reason disagrees with the result");
    if (outcome == ConversionOutcome::Converted) {
        const std::string fault = RmpFault(files.Get(kOutputPath));
        Require(fault.empty(), "the RMP file is broken: " + fault);
    }
    Require(outcome == ConversionOutcome::Converted || !files.Has(kOutputPath), "a failed conversion wrote a file");
    return 0;
}
