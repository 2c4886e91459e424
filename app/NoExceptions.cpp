// The program is built without exceptions, and nothing in it catches one:
// a throw from the standard library (out of memory, a length beyond
// max_size, an empty std::function called) could only ever have ended in
// std::terminate and abort. Doing that here, in the library's own throw
// helpers, keeps libstdc++'s exception objects, their strings and the
// unwinder (about 100 KB with its tables) out of the executable. Should the
// library need a helper that is not here, its own comes back with the one
// object file that holds them all and the link fails on the duplicates.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size)
{
    // As the library's: size 0 is still a unique pointer.
    if (void* block = std::malloc(size ? size : 1))
        return block;
    std::abort();
}

namespace std {

void __throw_bad_alloc()
{
    std::abort();
}

void __throw_bad_array_new_length()
{
    std::abort();
}

void __throw_bad_function_call()
{
    std::abort();
}

void __throw_length_error(const char*)
{
    std::abort();
}

void __throw_logic_error(const char*)
{
    std::abort();
}

void __throw_out_of_range_fmt(const char*, ...)
{
    std::abort();
}

}  // namespace std
