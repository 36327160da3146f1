// Any name and version text, terminated or not, give an information text and a driver version
// text that stay inside their buffers and are terminated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/text_rules.h"
#include "sensors/gpu_info_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The driver's 64-byte name buffer, possibly without terminator, copied as the program does.
    char driverName[64];
    std::memset(driverName, 'x', sizeof driverName);
    std::memcpy(driverName, data, size < sizeof driverName ? size : sizeof driverName);
    char name[128];
    CopyText(name, driverName, sizeof driverName);

    char version[64];
    std::uint32_t number = 0;
    if (size >= 68)
        std::memcpy(&number, data + 64, sizeof number);
    FormatDriverVersion(version, sizeof version, number);

    char text[256];
    BuildGpuInfoText(text, sizeof text, name, size % 2 ? version : "", size % 3 == 0);
    if (std::strlen(text) > 255 || std::strlen(name) > 64)
        std::abort();
    return 0;
}
