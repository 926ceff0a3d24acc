// The release program's C++ runtime needs, on every platform: it is linked
// statically and built without exceptions, since nothing in it is meant to
// throw. An allocation or length failure ends the run at once with exit status
// 3, as a run out of memory must: nothing stored, no lamp command, a status
// that is neither 0 nor -1, and, unlike abort(), no message box on Windows.
// Standing in for the library's throwing versions keeps its exception
// machinery, unwinder and demangler (60 to 90 KiB) out of the program.
#include <cstdlib>
#include <new>

namespace {

const int OutOfMemoryExitCode = 3;

[[noreturn]] void Stop() {
    std::_Exit(OutOfMemoryExitCode);
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
    Stop();
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
    Stop();
}
void __throw_bad_array_new_length() {
    Stop();
}
void __throw_bad_function_call() {
    Stop();
}
void __throw_length_error(const char*) {
    Stop();
}
void __throw_logic_error(const char*) {
    Stop();
}
void __throw_out_of_range_fmt(const char*, ...) {
    Stop();
}

}  // namespace std
