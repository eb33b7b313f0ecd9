#pragma once

#include "filesystem/BufferedReader.h"
#include "rmp/RmpDocument.h"

namespace gridport {

// Reads a whole RMP map file from the reader's position, embedded RTS
// tileset included, checking every count and length against the bytes that
// remain before anything is allocated. The tileset must end exactly at the
// end of the file. A stream of unknown size is refused: its counts could not
// be checked before they are allocated.
Expected<RmpDocument> ReadRmp(BufferedReader& in);

// Where a layer's parts lie in the file, for reading its cells as a stream.
struct RmpLayerPlace {
    std::uint64_t cells = 0;
    std::uint32_t segments = 0;
};

// An RMP file up to its tileset: the document without the layers' grids
// and segments, and without the entities and zones but for their counts.
struct RmpOutline {
    RmpDocument document;
    std::vector<RmpLayerPlace> places;
    std::size_t entities = 0;
    std::size_t zones = 0;
};

// Reads an RMP file from the reader's position up to its tileset, checking
// every count and length as ReadRmp does but keeping neither the grids, the
// segments, the entities nor the zones, so that what it holds doesn't grow
// with the file. The reader then stands at the tileset. A stream of unknown
// size is refused.
Expected<RmpOutline> ReadRmpOutline(BufferedReader& in);

}  // namespace gridport
