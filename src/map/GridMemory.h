#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gridport {

// Makes room for count cells in an empty grid without touching the memory,
// so that a reader can fill the grid block by block while each block is still
// in cache. Big grids are put on large pages where the system has them: a
// large map's grids take hundreds of MiB, and faulting them in 4 KiB at a time
// costs more than all the reading and writing together. Throws
// std::bad_alloc like reserve.
void ReserveGrid(std::vector<std::uint32_t>& cells, std::size_t count);

}  // namespace gridport
