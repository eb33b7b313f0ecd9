#pragma once

namespace gridport {

// For a long run of like tasks, each taking and freeing the same few MiB (gridport-batch's pictures, whose budgets are
// taken whole): freed memory stays with the process for the next task instead of going back to the system, to be
// faulted in and cleared again. The peak is unchanged. Where the allocator can't be told, nothing changes.
void KeepFreedMemory();

}  // namespace gridport
