#pragma once

// The global operators new and delete, replaced for a whole test binary that counts or fails its allocations. The one
// file that includes this header defines, before it, at file scope:
//   void* Allocate(std::size_t size);  // a block of size bytes, or throws std::bad_alloc
//   void Free(void* block) noexcept;   // gives back what Allocate gave, or does nothing with null

#include <cstddef>
#include <new>

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* block) noexcept {
    Free(block);
}
void operator delete[](void* block) noexcept {
    Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Free(block);
}
