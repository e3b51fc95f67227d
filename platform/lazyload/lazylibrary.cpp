#include "lazylibrary.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace kamelo::lazyload {

namespace {

[[noreturn]] void missing(const char* what, const char* why) {
    std::fprintf(stderr, "kamelo: %s: %s\n", what, why ? why : "not found");
    std::abort();
}

} // namespace

extern "C" void* kamelo_lazy_resolve(Library* library, unsigned index) {
    std::call_once(library->opened, [library] {
        // Bound lazily as at the program's start: binding all of a large
        // library's calls at once would add to the first call's wait.
        library->handle = ::dlopen(library->soname, RTLD_LAZY | RTLD_LOCAL);
        if (!library->handle)
            missing(library->soname, ::dlerror());
        // Functions this copy of the library lacks keep their loading step:
        // only a call of one of them ends the program.
        for (unsigned i = 0; i < library->count; ++i)
            if (void* f = ::dlsym(library->handle, library->names[i]))
                __atomic_store_n(&library->table[i], f, __ATOMIC_RELEASE);
    });
    // Reached once per function at most, or by a call that raced the loading.
    void* f = ::dlsym(library->handle, library->names[index]);
    if (!f)
        missing(library->names[index], ::dlerror());
    return f;
}

} // namespace kamelo::lazyload
