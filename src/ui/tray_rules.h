// The tooltip text of a notification-area entry.
#pragma once

#include <cstddef>

// Tip number 0 gives the GPU name (read up to nameLimit bytes, which need not be terminated);
// any other number n gives "GPU n". Cut off at capacity - 1 characters.
void FormatTrayTip(char* tip, std::size_t capacity, unsigned tipNumber, const char* gpuName,
                   std::size_t nameLimit);
