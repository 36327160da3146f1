#include "core/history.h"

#include <cstdio>
#include <io.h>

#include "app/localized.h"
#include "core/gpu_monitor.h"
#include "core/history_rules.h"
#include "resource.h"

namespace {

constexpr std::size_t HistoryFileSize = 2 * HistoryLength;

// Writes both traces to path and makes sure they reached the disk.
bool WriteTracesTo(const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(Monitor.Trace[0].data(), 1, HistoryLength, file) == HistoryLength &&
                   std::fwrite(Monitor.Trace[1].data(), 1, HistoryLength, file) == HistoryLength &&
                   std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
    bool closed = std::fclose(file) == 0;
    return written && closed;
}

} // namespace

void LoadHistoryFile() {
    std::size_t read = 0;
    if (std::FILE* file = std::fopen(Monitor.HistoryPath, "rb")) {
        read = std::fread(Monitor.Trace[0].data(), 1, HistoryLength, file);
        read += std::fread(Monitor.Trace[1].data(), 1, HistoryLength, file);
        std::fclose(file);
    }
    if (read != HistoryFileSize) {
        ClearTrace(Monitor.Trace[0]);
        ClearTrace(Monitor.Trace[1]);
    }
    Monitor.PeakTemperature = PeakOfTraces(Monitor.Trace[0], Monitor.Trace[1]);
}

void AdvanceHistory(std::uint32_t gpu1Core, std::uint32_t gpu2Core) {
    AdvanceTrace(Monitor.Trace[0], gpu1Core);
    AdvanceTrace(Monitor.Trace[1], Monitor.DualGpu ? gpu2Core : NoReading);
}

bool SaveHistoryFile() {
    // The new file is written next to the old one and then moved over it in one step.
    char temporaryPath[PathCapacity];
    if (!TemporarySiblingPath(temporaryPath, sizeof temporaryPath, Monitor.HistoryPath))
        return false;
    // A read-only file stays as its owner made it, and a folder is never replaced.
    DWORD attributes = GetFileAttributesA(Monitor.HistoryPath);
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return false;
    if (!WriteTracesTo(temporaryPath) ||
        !MoveFileExA(temporaryPath, Monitor.HistoryPath,
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporaryPath);
        return false;
    }
    return true;
}

bool ResetHistoryForInterval(HWND owner) {
    int samples = CountUnbrokenSamples(Monitor.Trace[0]);
    char text[MessageCapacity];
    LoadLocalizedString(IDS_HISTORY_RESET, text);
    if (samples >= SamplesWorthAsking &&
        MessageBoxA(owner, text, AppTitle, MB_ICONWARNING | MB_OKCANCEL) != IDOK)
        return false;
    // Samples taken while the box was open count: the newest ones are read only now.
    KeepNewestSample(Monitor.Trace[0]);
    KeepNewestSample(Monitor.Trace[1]);
    Monitor.PeakTemperature = PeakOfTraces(Monitor.Trace[0], Monitor.Trace[1]);
    if (GetFileAttributesA(Monitor.HistoryPath) != INVALID_FILE_ATTRIBUTES)
        SaveHistoryFile();
    return true;
}
