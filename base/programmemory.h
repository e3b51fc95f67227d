#pragma once

namespace kamelo {

// How the program's memory allocator behaves: buffers of a megabyte and
// more (decoded pictures, file contents) are mapped on their own and go
// back to the system when freed, instead of staying in the heap after the
// allocator raised its threshold for a picture freed earlier.
class ProgramMemory {
public:
    static void configure();
};

} // namespace kamelo
