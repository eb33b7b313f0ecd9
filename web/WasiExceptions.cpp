// Stand-ins for the two exception entry points that Debian's wasm32 libc++abi
// leaves out (it is built without exception support). The compiler still
// emits calls to them wherever the standard library throws, but WebAssembly
// here has no unwinding: no catch block ever runs, so a failed allocation
// can't become the clean failure that the native builds make of it. Instead
// the program says so on standard error and stops; the web page shows that
// message and ends the run.

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
