#include "sensors/driver_api.h"

#include <windows.h>

NvStatus UnresolvedStatus = NvApiNotInitialized;
bool DriverApiBound = false;

namespace {

using AnyFunction = void (*)();

// The default of every entry: whatever its argument list, it writes nothing and fails.
template <typename... Args>
NvStatus UnresolvedEntry(Args...) {
    return UnresolvedStatus;
}

template <typename... Args>
AnyFunction DefaultFor(NvStatus (*)(Args...)) {
    return reinterpret_cast<AnyFunction>(&UnresolvedEntry<Args...>);
}

struct InterfaceEntry {
    AnyFunction Function;
    std::uint64_t Id;
};

enum InterfaceIndex {
    GetErrorMessageEntry,
    GetDisplayDriverVersionEntry,
    EnumNvidiaDisplayHandleEntry,
    GetPhysicalGpusFromDisplayEntry,
    GpuGetFullNameEntry,
    GpuGetThermalSettingsEntry,
};

// Only the entries the program calls; the terminating entry has id 0.
InterfaceEntry InterfaceTable[] = {
    {DefaultFor(NvGetErrorMessageFn{}), NvIdGetErrorMessage},
    {DefaultFor(NvGetDisplayDriverVersionFn{}), NvIdGetDisplayDriverVersion},
    {DefaultFor(NvEnumNvidiaDisplayHandleFn{}), NvIdEnumNvidiaDisplayHandle},
    {DefaultFor(NvGetPhysicalGpusFromDisplayFn{}), NvIdGetPhysicalGpusFromDisplay},
    {DefaultFor(NvGpuGetFullNameFn{}), NvIdGpuGetFullName},
    {DefaultFor(NvGpuGetThermalSettingsFn{}), NvIdGpuGetThermalSettings},
    {nullptr, 0},
};

template <typename Function>
Function Entry(InterfaceIndex index) {
    return reinterpret_cast<Function>(InterfaceTable[index].Function);
}

} // namespace

NvStatus BindDriverApi() {
    if (DriverApiBound)
        return NvOk;
    // Only the system folder: a library of the same name next to the program or in the
    // current folder must never be loaded into it.
    HMODULE library = LoadLibraryExA("nvapi64.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library == nullptr)
        return NvLibraryNotFound;
    auto query = reinterpret_cast<NvQueryInterfaceFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "nvapi_QueryInterface")));
    if (query == nullptr)
        return NvError;
    auto initialize = reinterpret_cast<NvInitializeFn>(query(NvIdInitialize));
    if (initialize == nullptr || initialize() < 0)
        return NvError;

    UnresolvedStatus = NvNoImplementation;
    for (InterfaceEntry* entry = InterfaceTable; entry->Id != 0; ++entry) {
        if (void* function = query(static_cast<std::uint32_t>(entry->Id)))
            entry->Function = reinterpret_cast<AnyFunction>(function);
    }
    // The library stays loaded for the life of the process.
    DriverApiBound = true;
    return NvOk;
}

NvStatus NvAPI_GetErrorMessage(NvStatus status, char* text) {
    return Entry<NvGetErrorMessageFn>(GetErrorMessageEntry)(status, text);
}

NvStatus NvAPI_GetDisplayDriverVersion(NvDisplayHandle display, NvDisplayDriverVersion* version) {
    return Entry<NvGetDisplayDriverVersionFn>(GetDisplayDriverVersionEntry)(display, version);
}

NvStatus NvAPI_EnumNvidiaDisplayHandle(std::uint32_t index, NvDisplayHandle* display) {
    return Entry<NvEnumNvidiaDisplayHandleFn>(EnumNvidiaDisplayHandleEntry)(index, display);
}

NvStatus NvAPI_GetPhysicalGPUsFromDisplay(NvDisplayHandle display, NvPhysicalGpuHandle* gpus,
                                          std::uint32_t* count) {
    return Entry<NvGetPhysicalGpusFromDisplayFn>(GetPhysicalGpusFromDisplayEntry)(display, gpus,
                                                                                  count);
}

NvStatus NvAPI_GPU_GetFullName(NvPhysicalGpuHandle gpu, char* name) {
    return Entry<NvGpuGetFullNameFn>(GpuGetFullNameEntry)(gpu, name);
}

NvStatus NvAPI_GPU_GetThermalSettings(NvPhysicalGpuHandle gpu, std::int32_t sensorIndex,
                                      NvThermalSettings* settings) {
    return Entry<NvGpuGetThermalSettingsFn>(GpuGetThermalSettingsEntry)(gpu, sensorIndex, settings);
}
