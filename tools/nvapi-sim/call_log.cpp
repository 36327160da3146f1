#include "call_log.h"

#include <windows.h>

#include "core/text_rules.h"
#include "scenario.h"

namespace {

void AppendHex(char* text, std::size_t capacity, std::uint32_t value) {
    char digits[9];
    for (int i = 7; i >= 0; --i, value >>= 4)
        digits[i] = "0123456789ABCDEF"[value & 0xF];
    digits[8] = '\0';
    AppendText(text, capacity, digits);
}

// Opens, appends and closes, so every line is on disk before the call returns.
void AppendLine(const char* line) {
    char path[MAX_PATH + 2];
    if (!PathFromVariable("NVAPI_SIM_LOG", path, sizeof path))
        return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    CloseHandle(file);
}

} // namespace

void LogCall(const char* function, std::uint32_t gpu, std::int32_t status,
             const std::uint32_t* core) {
    char line[160];
    CopyText(line, function);
    AppendText(line, " gpu=");
    AppendUnsigned(line, gpu);
    AppendText(line, " status=");
    AppendSigned(line, status);
    if (core != nullptr) {
        AppendText(line, " core=");
        AppendUnsigned(line, *core);
    }
    AppendText(line, "\r\n");
    AppendLine(line);
}

void LogQuery(std::uint32_t id, bool found) {
    char line[80];
    CopyText(line, "nvapi_QueryInterface id=0x");
    AppendHex(line, sizeof line, id);
    AppendText(line, found ? " found=1\r\n" : " found=0\r\n");
    AppendLine(line);
}
