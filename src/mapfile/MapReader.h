#pragma once

// The one reader of MAP files, both versions. It reads the header and the layer table, then decodes any file layer's
// cells on request, in blocks, from where that layer starts. Where a version-2 layer starts is known only once the
// layers before it have been walked; the reader remembers every start it has passed, so a layer asked for again is
// decoded again from its start without walking anything twice. A stream that can't seek (a pipe) reads its layers in
// file order, each once.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "mapfile/MapDescription.h"

namespace gridport {

// Decoders hand a layer's cells on in blocks of at most this many; a block's bytes fit the processor's cache beside the
// writer's.
constexpr std::size_t kBlockCells = 32 * 1024;

// Where a layer's decoded cells go, in row-major order, a block at a time, as both the MAP and the RMP file store them:
// little-endian 16-bit words. The decoder asks for a block of kBlockCells cells, writes the next cells at its start,
// and hands it back with how many it wrote and the largest of them. It may also have written past them, within the
// block: those bytes mean nothing. The block may be a writer's own buffer, so that cells are decoded where they are
// written from.
class CellSink {
public:
    virtual ~CellSink() = default;
    virtual std::uint8_t* Block() = 0;
    virtual void Filled(std::size_t count, std::uint16_t largest) = 0;
};

// Decodes one layer's cells, a block at a time, from a reader that stands at the layer's first cell.
class LayerDecoder {
public:
    LayerDecoder(BufferedReader& in, const MapFileLayer& layer, int version)
        : in_(in), layer_(layer), version_(version), left_(layer.CellCount()) {}

    bool Done() const { return left_ == 0; }
    Expected<void> Next(CellSink& sink);  // Decodes the next cells into one block of the sink.

private:
    Expected<void> NextVersion1(CellSink& sink);
    Expected<void> NextVersion2(CellSink& sink);

    BufferedReader& in_;
    const MapFileLayer& layer_;
    int version_;
    std::uint64_t left_;
};

class MapReader {
public:
    MapReader(File& file, std::string path) : file_(file), in_(file, std::move(path)) {}

    Expected<void> ReadHeader();  // Reads the header and the layer table from the start of the file.

    const MapDescription& Description() const { return description_; }
    const std::string& Path() const { return in_.Path(); }
    Expected<void> Decode(std::size_t fileLayer, CellSink& sink);  // Decodes every cell of one file layer into sink.
    // A reader of its own that stands at the first cell of a file layer, for decoding several layers side by side; the
    // file moves under all of them, so each seeks before it reads.
    Expected<std::unique_ptr<BufferedReader>> OpenLayer(std::size_t fileLayer);

private:
    // Makes sure the layer's start is known, walking the layers before it.
    Expected<void> Locate(std::size_t fileLayer);
    Expected<void> MoveTo(BufferedReader& in, std::size_t fileLayer);  // Moves the reader to the layer's first cell.

    File& file_;
    BufferedReader in_;
    MapDescription description_;
    std::size_t located_ = 0;  // Layers [0, located_) have a known cellsOffset.
};

// The version procedures behind MapReader. Each header reader leaves the description with at least layer 0 located
// (when there is one) and returns how many layers it located.
Expected<std::size_t> ReadVersion1Header(BufferedReader& in, MapDescription& description);
Expected<std::size_t> ReadVersion2Header(BufferedReader& in, MapDescription& description);

// "layer "Layer B" ends after 617 of its 1024 cells": reasons name a layer by its name, which no count from 0 or from 1
// can be mistaken for.
std::string LayerEndsEarly(const MapFileLayer& layer, std::uint64_t decoded, std::uint64_t total);
std::string LayerWords(const MapFileLayer& layer);  // "layer "Layer B"", the words reasons use for a file layer.

// A header text runs from offset to its first zero byte, or to the end of the header when there is none, past the field
// it starts in.
std::string HeaderText(const std::uint8_t* header, std::size_t headerSize, std::size_t offset);

}  // namespace gridport
