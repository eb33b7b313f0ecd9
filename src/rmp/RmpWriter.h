#pragma once

// The one writer of RMP files, front to back, from streams of cells. Values narrower in the file keep their low bits.

#include <cstddef>
#include <array>
#include <cstdint>
#include <string_view>

#include "filesystem/BufferedWriter.h"
#include "rmp/RmpLayout.h"

namespace gridport {

class RmpWriter {
public:
    explicit RmpWriter(File& file, std::size_t capacity = 64 * 1024) : out_(file, capacity) {}

    // The file header and nine strings, for layerCount layers, no entities or zones, and headerLayer and headerMode.
    void Head(std::int32_t headerX, std::int32_t headerY, std::int32_t headerLayer, std::int32_t headerMode,
              std::size_t layerCount, std::string_view linkedFileName);
    // The file header and the nine strings in file order, for the counts of layers, entities and zones that follow.
    void Head(std::int32_t headerX, std::int32_t headerY, std::int32_t headerLayer, std::int32_t headerMode,
              std::size_t layerCount, std::size_t entityCount, std::size_t zoneCount,
              const std::array<std::string_view, rmp::kStringCount>& strings);
    // A layer's header and name from fields, then width x height cells in any number of CellRoom calls, then its
    // segmentCount segments by LayerSegment.
    void BeginLayer(const RmpLayerFields& fields, std::int32_t width, std::int32_t height,
                    std::uint32_t segmentCount = 0);
    void LayerSegment(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
    // After the layers, each entity: the record type its kind gives (rmp::EntityRecordType) and that type's data.
    void Entity(std::int32_t x, std::int32_t y, std::int32_t layer, std::int32_t kind, std::string_view textA,
                std::string_view textB, const std::array<std::string_view, rmp::kEntityStringCount>& textList);
    // After the entities, each zone: its six values in the file's order and its text.
    void Zone(const std::array<std::int32_t, rmp::kZoneValueCount>& values, std::string_view text);
    // Room for count cells the caller writes as stored (little-endian 16-bit); CommitCells(used) takes the first used.
    std::uint8_t* CellRoom(std::size_t count) { return out_.Reserve(2 * count); }
    void CommitCells(std::size_t count) { out_.Commit(2 * count); }

    BufferedWriter& Out() { return out_; }  // The tileset follows as an RTS tileset file, written to Out().
    void Flush() { out_.Flush(); }

private:
    BufferedWriter out_;
};

// An RMP string: a 16-bit length, then that many bytes, no terminator. The text ends at its first zero byte; a length
// over 65535 is written modulo 65536, with that many bytes, so the file stays well-formed.
void WriteString(BufferedWriter& out, std::string_view text);
// The bytes WriteString stores of text.
std::string_view StoredString(std::string_view text);

}  // namespace gridport
