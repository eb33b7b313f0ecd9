#pragma once

// The one writer of RMP files, front to back, from streams of cells. Values narrower in the file keep their low bits.

#include <cstddef>
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
    // A layer with no segments: header and name from fields, then width x height cells in any number of CellRoom calls.
    void BeginLayer(const RmpLayerFields& fields, std::int32_t width, std::int32_t height);
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
