#pragma once

// The one writer of RMP map files. It writes front to back whatever feeds
// it: TileMap::Save from the map's grids, the conversion from cell streams
// decoded out of a MAP file. Values narrower in the file than in memory are
// written as their low bits.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "filesystem/BufferedWriter.h"
#include "filesystem/Error.h"
#include "filesystem/FileSystem.h"
#include "map/MapEntity.h"
#include "map/MapLayer.h"
#include "map/MapZone.h"

namespace gridport {

// What the file header and the nine strings after it hold.
struct RmpHead {
    std::int32_t headerX = 0;
    std::int32_t headerY = 0;
    std::int32_t headerLayer = 0;
    std::int32_t headerMode = 0;
    std::size_t layerCount = 0;
    std::size_t entityCount = 0;
    std::size_t zoneCount = 0;
    std::string_view linkedFileName;
    std::string_view textA;
    std::string_view textB;
    std::array<std::string_view, 4> textList;
};

class RmpWriter {
public:
    explicit RmpWriter(File& file, std::size_t capacity = 64 * 1024) : out_(file, capacity) {}

    void Head(const RmpHead& head);
    // A layer: its header and name, from fields (all but its grid, which is
    // not looked at) with the given size, then width x height cells in any
    // number of PutCells or CellRoom calls, then EndLayer for its
    // segments. The header layer is written with its factors off.
    void BeginLayer(const MapLayer& fields, std::int32_t width, std::int32_t height, bool headerLayer);
    void PutCells(const std::uint32_t* cells, std::size_t count) { out_.PutLow16(cells, count); }
    // Room for count cells that the caller writes in place, as the file
    // stores them (little-endian 16-bit words); CommitCells(used) then takes
    // the first used of them.
    std::uint8_t* CellRoom(std::size_t count) { return out_.Reserve(2 * count); }
    void CommitCells(std::size_t count) { out_.Commit(2 * count); }
    void EndLayer(const MapLayer& fields);
    void Entity(const MapEntity& entity);
    void Zone(const MapZone& zone);

    // The tileset follows as an RTS tileset file, written to Out().
    BufferedWriter& Out() { return out_; }
    // Pushes out what is buffered; false when any write so far fell short.
    [[nodiscard]] bool Flush() { return out_.Flush(); }

private:
    BufferedWriter out_;
};

// Commits an RMP output opened with FileSystem::OpenOutput (nothing replaces
// the file at path before this); false, with the reason, when that fails.
[[nodiscard]] bool CloseRmpOutput(File& file, const std::string& path, Error& error);

}  // namespace gridport
