// What the missing exception support of Debian's wasm32 libc++ and libc++abi
// needs. WebAssembly here has no unwinding: no catch block ever runs, so a
// failed allocation can't become the clean failure that the native builds
// make of it. Instead the program says "out of memory" on standard error and
// stops; the web page shows that and ends the run.
//
// - Stand-ins for __cxa_allocate_exception and __cxa_throw, which libc++abi
//   leaves out: the compiler still calls them wherever our code or the
//   standard library's headers throw.
// - The global operator new: libc++'s own, built without exceptions, returns
//   a null pointer when memory runs out, and the caller would then write
//   through it (address 0 is valid memory in WebAssembly, where the stack
//   lies) instead of stopping.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <typeinfo>

namespace {

// Room for the thrown object, so that throwing needs no allocation (the
// usual reason to throw here is that memory ran out). The object is never
// used: the throw below ends the program.
alignas(std::max_align_t) unsigned char thrownObject[256];

}  // namespace

extern "C" {

void* __cxa_allocate_exception(std::size_t size) noexcept {
    if (size > sizeof thrownObject) {
        std::fputs("unexpected error: an exception too large to report\n", stderr);
        std::abort();
    }
    return thrownObject;
}

[[noreturn]] void __cxa_throw(void* /*object*/, std::type_info* type, void (*/*destroy*/)(void*)) {
    if (type != nullptr && (*type == typeid(std::bad_alloc) || *type == typeid(std::bad_array_new_length))) {
        std::fputs("out of memory\n", stderr);
    } else {
        std::fprintf(stderr, "unexpected error: exception %s\n", type != nullptr ? type->name() : "?");
    }
    std::abort();
}

}  // extern "C"

namespace {

[[noreturn]] void OutOfMemory() {
    std::fputs("out of memory\n", stderr);
    std::abort();
}

}  // namespace

void* operator new(std::size_t size) {
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        OutOfMemory();
    }
    return memory;
}

void* operator new[](std::size_t size) {
    return ::operator new(size);
}

void* operator new(std::size_t size, std::align_val_t alignment) {
    const auto align = static_cast<std::size_t>(alignment);
    void* memory = nullptr;
    if (posix_memalign(&memory, align < sizeof(void*) ? sizeof(void*) : align, size == 0 ? 1 : size) != 0) {
        OutOfMemory();
    }
    return memory;
}

void* operator new[](std::size_t size, std::align_val_t alignment) {
    return ::operator new(size, alignment);
}
