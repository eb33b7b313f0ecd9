#include "import/ImportSteps.h"

#include <algorithm>
#include <cctype>

namespace gridport {

bool IsVspPath(std::string_view path) {
    constexpr std::string_view kEnding = ".vsp";
    if (path.size() < kEnding.size()) {
        return false;
    }
    const std::string_view ending = path.substr(path.size() - kEnding.size());
    return std::equal(ending.begin(), ending.end(), kEnding.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
    });
}

bool LoadTileset(const std::string& path, FileSystem& fileSystem, Tileset& tileset, Error& error) {
    return IsVspPath(path) ? tileset.ImportVsp(path, fileSystem, error) : tileset.Load(path, fileSystem, error);
}

std::string HeaderText(const std::uint8_t* header, std::size_t headerSize, std::size_t offset) {
    const std::uint8_t* begin = header + offset;
    const std::uint8_t* end = std::find(begin, header + headerSize, std::uint8_t{0});
    return std::string(begin, end);
}

}  // namespace gridport
