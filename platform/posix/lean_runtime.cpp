// The release program's C++ runtime needs: it is linked statically and built
// without exceptions, since nothing in it is meant to throw. An allocation or
// length failure ends the run at once (SIGABRT), as a run out of memory must:
// nothing stored, no lamp command, an exit status that is neither 0 nor -1.
// Standing in for the library's throwing versions keeps its exception
// machinery, unwinder and demangler (about 90 KiB) out of the program.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
    std::abort();
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace std {

void __throw_bad_alloc() {
    std::abort();
}
void __throw_bad_array_new_length() {
    std::abort();
}
void __throw_bad_function_call() {
    std::abort();
}
void __throw_length_error(const char*) {
    std::abort();
}
void __throw_logic_error(const char*) {
    std::abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
    std::abort();
}

}  // namespace std
