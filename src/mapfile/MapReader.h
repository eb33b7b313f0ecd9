#pragma once

// The one reader of MAP files, both versions: the header and layer table, then any file layer's cells on request, in
// blocks. A version-2 layer's start is known only once the layers before it are walked; every start passed is
// remembered, so no layer is walked twice. A stream that can't seek (a pipe) reads its layers in file order, once each.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "filesystem/BufferedReader.h"
#include "mapfile/MapDescription.h"

namespace gridport {

// Decoders hand cells on in blocks of at most this many, small enough to sit in cache beside the writer's.
constexpr std::size_t kBlockCells = 32 * 1024;

// Where a layer's decoded cells go, row-major, a block at a time, as little-endian 16-bit words (as both MAP and RMP
// store them). The decoder asks for a block of kBlockCells, writes the next cells at its start and hands it back with
// the count and the largest cell; bytes past the count mean nothing. The block may be a writer's own buffer.
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

    // Reads the header and the layer table from the start of the file, once: later calls give the first one's result,
    // so that a caller may look at the header before a pass that reads it (a pipe can't be read from its start again).
    Expected<void> ReadHeader();

    const MapDescription& Description() const { return description_; }
    const std::string& Path() const { return in_.Path(); }
    Expected<void> Decode(std::size_t fileLayer, CellSink& sink);  // Decodes every cell of one file layer into sink.
    // A reader of its own at a file layer's first cell, to decode layers side by side; each seeks before it reads.
    Expected<std::unique_ptr<BufferedReader>> OpenLayer(std::size_t fileLayer);

private:
    Expected<void> ReadHeaderOnce();
    // Makes sure the layer's start is known, walking the layers before it.
    Expected<void> Locate(std::size_t fileLayer);
    Expected<void> MoveTo(BufferedReader& in, std::size_t fileLayer);  // Moves the reader to the layer's first cell.

    File& file_;
    BufferedReader in_;
    MapDescription description_;
    std::size_t located_ = 0;  // Layers [0, located_) have a known cellsOffset.
    std::optional<Expected<void>> header_;  // ReadHeader's result, once it ran.
};

// The version procedures behind MapReader. Each header reader locates at least layer 0 (if any) and returns how many.
Expected<std::size_t> ReadVersion1Header(BufferedReader& in, MapDescription& description);
Expected<std::size_t> ReadVersion2Header(BufferedReader& in, MapDescription& description);

// "layer "Layer B" ends after 617 of its 1024 cells": a name can't be mistaken for a count from 0 or 1.
std::string LayerEndsEarly(const MapFileLayer& layer, std::uint64_t decoded, std::uint64_t total);
std::string LayerWords(const MapFileLayer& layer);  // "layer "Layer B"", the words reasons use for a file layer.

// A header text runs from offset to its first zero byte, or the header's end if none, past its own field.
std::string HeaderText(const std::uint8_t* header, std::size_t headerSize, std::size_t offset);

}  // namespace gridport
