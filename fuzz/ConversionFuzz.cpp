// The whole conversion, ImportMap then Save, over in-memory files.

#include "FuzzSupport.h"
#include "support/Conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gridport::test;
    const ConversionInput input = SplitConversionInput(data, size);
    MemoryFileSystem files;
    files.Put(kMapPath, input.map);
    files.Put(input.TilesetPath(), input.tileset);
    gridport::TileMap map;
    const ConversionOutcome outcome = Convert(files, map, input.TilesetPath());
    Require(files.OpenFiles() == 0, "a file was left open");
    switch (outcome) {
        case ConversionOutcome::ImportFailed:
            Require(map.layers.empty() && map.linkedFileName.empty() && map.tileset.tiles.empty(),
                    "a failed import left content in the map");
            break;
        case ConversionOutcome::SaveFailed:
            // In memory, only a map beyond the format's limits fails to save.
            Require(!map.FitsRmpFormat(), "an in-memory save failed");
            break;
        case ConversionOutcome::Converted: {
            const std::string fault = RmpFault(files.Get(kOutputPath));
            Require(fault.empty(), "the RMP file is broken: " + fault);
            break;
        }
    }
    Require(outcome == ConversionOutcome::Converted || !files.Has(kOutputPath), "a failed conversion wrote a file");
    return 0;
}
