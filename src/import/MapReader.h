#pragma once

// The one reader of MAP files, both versions. It reads the header and the
// layer table, then decodes any file layer's cells on request, in blocks,
// from where that layer starts. Where a version-2 layer starts is known only
// once the layers before it have been walked; the reader remembers every
// start it has passed, so a layer asked for again is decoded again from its
// start without walking anything twice.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "import/MapDescription.h"

namespace gridport {

// Decoders hand a layer's cells on in blocks of at most this many; a
// block's bytes fit the processor's cache beside the writer's.
constexpr std::size_t kBlockCells = 32 * 1024;

// Where a layer's decoded cells go, in row-major order, a block at a time,
// as both the MAP and the RMP file store them: little-endian 16-bit words.
// The decoder asks for a block of kBlockCells cells, writes the next cells
// at its start, and hands it back with how many it wrote and the largest of
// them. It may also have written past them, within the block: those bytes
// mean nothing. The block may be a writer's own buffer, so that cells are
// decoded where they are written from.
class CellSink {
public:
    virtual ~CellSink() = default;
    virtual std::uint8_t* Block() = 0;
    virtual void Filled(std::size_t count, std::uint16_t largest) = 0;
};

// Receives a layer's cells as a CellSink does, in a block it doesn't own:
// count words in 2 * count bytes, the largest of them largest.
using CellVisitor = std::function<void(const std::uint8_t* cells, std::size_t count, std::uint16_t largest)>;

class MapReader {
public:
    MapReader(File& file, std::string path) : file_(file), path_(std::move(path)) {}

    // Reads the header and the layer table from the start of the file.
    [[nodiscard]] bool ReadHeader(Error& error);
    // Takes a description that DescribeMap made of the same file.
    void Adopt(const MapDescription& description);
    // Finds where every layer starts.
    [[nodiscard]] bool LocateAll(Error& error);

    const MapDescription& Description() const { return description_; }
    const std::string& Path() const { return path_; }
    // Decodes every cell of one file layer into sink.
    [[nodiscard]] bool Decode(std::size_t fileLayer, CellSink& sink, Error& error);
    // The same through a block of the reader's own, handed to visit.
    [[nodiscard]] bool Decode(std::size_t fileLayer, const CellVisitor& visit, Error& error);

private:
    File& file_;
    std::string path_;
    MapDescription description_;
    // Layers [0, located_) have a known cellsOffset.
    std::size_t located_ = 0;
    std::vector<std::uint8_t> block_;
};

// The version procedures behind MapReader. Each header reader leaves the
// description with at least layer 0 located (when there is one) and returns
// how many layers it located.
[[nodiscard]] bool ReadVersion1Header(BufferedReader& in, const std::string& path, MapDescription& description,
                                      std::size_t& located, Error& error);
[[nodiscard]] bool ReadVersion2Header(BufferedReader& in, const std::string& path, MapDescription& description,
                                      std::size_t& located, Error& error);
// Decode the cells of a layer from in, which stands at the layer's
// cellsOffset, into sink.
[[nodiscard]] bool DecodeVersion1Cells(BufferedReader& in, const std::string& path, const MapFileLayer& layer,
                                       CellSink& sink, Error& error);
[[nodiscard]] bool DecodeVersion2Cells(BufferedReader& in, const std::string& path, const MapFileLayer& layer,
                                       CellSink& sink, Error& error);

// "layer "Layer B" ends after 617 of its 1024 cells": reasons name a layer
// by its name, which no count from 0 or from 1 can be mistaken for.
std::string LayerEndsEarly(const MapFileLayer& layer, std::uint64_t decoded, std::uint64_t total);
// "layer "Layer B"", the words reasons use for a file layer.
std::string LayerWords(const MapFileLayer& layer);
// "layer "Foreground" cell (3, 4) holds tile 10; the tileset has 10 tiles":
// cell counts row by row from the layer's first.
std::string CellBeyondTileset(const MapFileLayer& layer, std::uint64_t cell, std::uint32_t value,
                              std::int32_t tileCount);

}  // namespace gridport
