#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <optional>

#include "filesystem/FileSystem.h"
#include "support/Builders.h"
#include "support/Samples.h"
#include "support/MemoryFileSystem.h"
#include "support/Reference.h"

namespace gridport::test {

// A small valid MAP file and its tileset, named as an identifier, with the bytes the import reads:
// anything past mapUsed and tilesetUsed is trailing bytes that it ignores.
struct ConversionSample {
    std::string name;
    Bytes map;
    Bytes tileset;
    std::string tilesetPath;
    std::size_t mapUsed = 0;
    std::size_t tilesetUsed = 0;
};

// Test parameters print as their names.
inline void PrintTo(const ConversionSample& sample, std::ostream* out) {
    *out << sample.name;
}

// Both MAP versions with both tileset kinds, plain and compressed VSP, RTS
// files with every kind of segment data, some with trailing bytes. Small, so
// that sweeps over every byte stay cheap.
std::vector<ConversionSample> SmallConversions();
// Files larger than the readers' and the writer's 64 KiB blocks, so that
// reading and writing take several calls each.
std::vector<ConversionSample> LargeConversions();

// What the command does, through the conversion core: imports map.map with
// the tileset at tilesetPath and, only if that succeeds, writes out.rmp. The
// failure's reason goes to reason when given.
inline constexpr const char* kMapPath = "map.map";
inline constexpr const char* kOutputPath = "out.rmp";
ConversionOutcome Convert(FileSystem& files, const std::string& tilesetPath, std::optional<Error>* reason = nullptr);
// The same on a fresh file system holding the two files; output receives
// out.rmp when the conversion made one.
ConversionOutcome Convert(const Bytes& mapBytes, const Bytes& tilesetBytes, const std::string& tilesetPath,
                          Bytes* output = nullptr);

// Empty when the bytes are a well-formed RMP map file: every count and length
// the file declares is followed by exactly that data, every tile index names
// a tile of the embedded tileset, and the last record ends at the file's
// last byte. Otherwise, what is wrong and where.
std::string RmpFault(const Bytes& file);

}  // namespace gridport::test
