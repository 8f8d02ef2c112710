// The process's heap as the operating system sees it. Any thread.
#pragma once

namespace platform {

// Gives the pages of freed heap memory back to the system. The allocator
// keeps them otherwise, so the transient peak of start-up (the shader
// compiler's work) would stay resident for the whole run.
void ReleaseFreedMemory();

}  // namespace platform
