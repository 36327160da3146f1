#include "ui/tray_rules.h"

#include "core/text_rules.h"

void FormatTrayTip(char* tip, std::size_t capacity, unsigned tipNumber, const char* gpuName,
                   std::size_t nameLimit) {
    if (tipNumber == 0) {
        CopyText(tip, capacity, gpuName, nameLimit);
        return;
    }
    CopyText(tip, capacity, "GPU ");
    AppendUnsigned(tip, capacity, tipNumber);
}
