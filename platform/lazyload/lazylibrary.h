#pragma once

#include <mutex>

namespace kamelo::lazyload {

// A library opened on the first call of one of its functions, through the
// trampolines make_trampolines.py writes; table holds where each of names
// leads (the loading step until the library is open).
struct Library {
    const char* soname;
    const char* const* names;
    void** table;
    unsigned count;
    void* handle;
    std::once_flag opened;
};

// Opens the library once and fills its table in; where names[index] is.
// A library or function missing at run time ends the program with a message,
// as the dynamic loader would have at its start.
extern "C" __attribute__((visibility("hidden"))) void* kamelo_lazy_resolve(Library* library,
                                                                           unsigned index);

} // namespace kamelo::lazyload
