#include "sensors/gpu_discovery.h"

#include "core/gpu_monitor.h"
#include "core/text_rules.h"
#include "sensors/driver_api.h"
#include "sensors/gpu_info_rules.h"

namespace {

// Enumerates the NVIDIA display handles until the driver says there are no more or the list is
// full, and returns the first one (null when there is none).
NvDisplayHandle FirstDisplayHandle() {
    NvDisplayHandle displays[NvMaxDisplayHandles] = {};
    for (std::uint32_t index = 0; index < NvMaxDisplayHandles; ++index) {
        if (NvAPI_EnumNvidiaDisplayHandle(index, &displays[index]) != NvOk)
            break;
    }
    return displays[0];
}

// Writes DriverVersionText when the driver reports a version; returns the version number, or 0
// when the query failed.
std::uint32_t QueryDriverVersion(NvDisplayHandle display) {
    NvDisplayDriverVersion record = {};
    record.Version = NvDisplayDriverVersionVersion;
    if (NvAPI_GetDisplayDriverVersion(display, &record) != NvOk)
        return 0;
    if (record.DriverVersion != 0)
        FormatDriverVersion(Monitor.DriverVersionText, sizeof Monitor.DriverVersionText,
                            record.DriverVersion);
    return record.DriverVersion;
}

// The driver may fill all 64 characters of the name without a terminator.
void QueryFullName() {
    NvShortString name = {};
    if (NvAPI_GPU_GetFullName(Monitor.GpuHandles[0], name) == NvOk)
        CopyText(Monitor.GpuName, name, NvShortStringLength);
}

bool RunDiscovery(HWND owner, UINT failureIcon, bool nameNeedsGpu) {
    NvDisplayHandle display = FirstDisplayHandle();
    std::uint32_t version = QueryDriverVersion(display);
    NvStatus status =
        NvAPI_GetPhysicalGPUsFromDisplay(display, Monitor.GpuHandles, &Monitor.GpuCount);
    if (status != NvOk) {
        ShowDriverError(owner, status, failureIcon);
        return false;
    }
    if (version > NewestDriverWithoutFullName && (!nameNeedsGpu || Monitor.GpuCount > 0))
        QueryFullName();
    return true;
}

} // namespace

bool DiscoverGpus() {
    return RunDiscovery(nullptr, MB_ICONERROR, false);
}

bool RediscoverGpus(HWND owner) {
    return RunDiscovery(owner, MB_ICONWARNING, true);
}

bool ShowGpuInfo(HWND owner) {
    char text[MessageCapacity];
    BuildGpuInfoText(text, sizeof text, Monitor.GpuName, Monitor.DriverVersionText,
                     Monitor.GermanUi);
    MessageBoxA(owner, text, AppTitle, MB_ICONINFORMATION);
    return true;
}

void ShowDriverError(HWND owner, NvStatus status, UINT iconType) {
    NvShortString driverText = {};
    if (NvAPI_GetErrorMessage(status, driverText) != NvOk)
        return;
    char text[NvShortStringLength + 1];
    CopyText(text, driverText, NvShortStringLength);
    MessageBoxA(owner, text, Monitor.GpuName, iconType);
}
