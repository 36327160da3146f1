#include "sensors/gpu_info_rules.h"

#include <cstring>

#include "core/text_rules.h"

void FormatDriverVersion(char* text, std::size_t capacity, std::uint32_t version) {
    CopyText(text, capacity, "");
    AppendUnsigned(text, capacity, version / 100);
    AppendText(text, capacity, version % 100 < 10 ? ".0" : ".");
    AppendUnsigned(text, capacity, version % 100);
}

void BuildGpuInfoText(char* text, std::size_t capacity, const char* gpuName,
                      const char* driverVersionText, bool germanUi) {
    CopyText(text, capacity, "GPU: ");
    AppendText(text, capacity, std::strcmp(gpuName, "Kelvane") == 0 ? "?" : gpuName);
    if (driverVersionText[0] != '\0') {
        AppendText(text, capacity, germanUi ? "\r\nTreiberversion: " : "\r\nDriver version: ");
        AppendText(text, capacity, driverVersionText);
    }
}
