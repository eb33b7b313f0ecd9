#include "base/Memory.h"

namespace gridport {

// The system's allocator keeps what it keeps.
void KeepFreedMemory() {}

}  // namespace gridport
