#include "base/Memory.h"

#include <cstdlib>  // defines __GLIBC__ where it is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace gridport {

void KeepFreedMemory() {
#if defined(__GLIBC__)
    // glibc gives the top of its heaps back past 128 KiB free, and maps blocks from 128 KiB up (a bound it raises as
    // they are freed) afresh each time: both fixed, and high.
    (void)mallopt(M_TRIM_THRESHOLD, 64 << 20);
    (void)mallopt(M_MMAP_THRESHOLD, 8 << 20);
#endif
}

}  // namespace gridport
