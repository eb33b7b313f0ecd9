#pragma once

#include <optional>
#include <string>

#include "support/Builders.h"
#include "support/Conversion.h"
#include "support/MemoryFileSystem.h"
#include "support/RmpDocument.h"

namespace gridport::test {

// Converts MAP and tileset bytes held in memory, then reads the RMP file
// back into a map: what a conversion makes of the inputs, as a model.
struct ImportFixture {
    bool Import(const Bytes& mapBytes, const Bytes& tilesetBytes, const std::string& tilesetPath = "tiles.vsp") {
        files.Put(kMapPath, mapBytes);
        files.Put(tilesetPath, tilesetBytes);
        error.reset();
        if (Convert(files, tilesetPath, &error) != ConversionOutcome::Converted) {
            return false;
        }
        const auto file = std::move(*files.Open(kOutputPath, OpenMode::Read));
        BufferedReader in(*file, kOutputPath);
        Expected<RmpDocument> document = ReadRmp(in);
        if (!document) {
            error = document.error();
            return false;
        }
        map = std::move(document->map);
        return true;
    }
    // A VSP tileset of count tiles.
    bool Import(const Bytes& mapBytes, std::uint16_t tileCount) {
        return Import(mapBytes, PatternVsp(tileCount).Build());
    }

    MemoryFileSystem files;
    TileMap map;
    // Why the last import failed.
    std::optional<Error> error;
};

}  // namespace gridport::test
