#pragma once

// Hands memory that was freed back to the system, where the C library keeps
// it for later use otherwise (the process would stay as large as it ever was).
void releaseFreedMemory();
