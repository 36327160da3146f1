// The driver API's records, handles and status values that the program uses, declared from
// their documented layouts. Shared by the program and the simulated driver library.
#pragma once

#include <cstdint>

using NvStatus = std::int32_t;

inline constexpr NvStatus NvOk = 0;
inline constexpr NvStatus NvError = -1;
inline constexpr NvStatus NvLibraryNotFound = -2;
inline constexpr NvStatus NvNoImplementation = -3;
inline constexpr NvStatus NvApiNotInitialized = -4;

// Opaque handles: the program never looks inside them.
struct NvDisplayHandleTag;
struct NvPhysicalGpuHandleTag;
using NvDisplayHandle = NvDisplayHandleTag*;
using NvPhysicalGpuHandle = NvPhysicalGpuHandleTag*;

// The driver's short string: 64 characters, not always terminated.
inline constexpr int NvShortStringLength = 64;
using NvShortString = char[NvShortStringLength];

inline constexpr int NvMaxPhysicalGpus = 64;
inline constexpr int NvMaxDisplayHandles = 128;

// Record version words carry the record size in the low 16 bits and the version above it.
constexpr std::uint32_t NvRecordVersion(std::uint32_t size, std::uint32_t version) {
    return size | (version << 16);
}

// Thermal settings, version 1: 68 bytes, room for three sensors.
inline constexpr int NvThermalSensorSlots = 3;
inline constexpr std::int32_t NvAllThermalSensors = 15;
inline constexpr std::uint32_t NvThermalTargetGpu = 1;
inline constexpr std::uint32_t NvThermalTargetBoard = 8;

struct NvThermalSensor {
    std::uint32_t Controller;
    std::uint32_t DefaultMinTemp;
    std::uint32_t DefaultMaxTemp;
    std::uint32_t CurrentTemp;
    std::uint32_t Target;
};

struct NvThermalSettings {
    std::uint32_t Version;
    std::uint32_t Count; // the driver's count, read as signed
    NvThermalSensor Sensor[NvThermalSensorSlots];
};
static_assert(sizeof(NvThermalSettings) == 68);
inline constexpr std::uint32_t NvThermalSettingsVersion = NvRecordVersion(68, 1); // 0x00010044

// Display driver version, version 1: 140 bytes. DriverVersion is the release times 100.
struct NvDisplayDriverVersion {
    std::uint32_t Version;
    std::uint32_t DriverVersion;
    std::uint32_t BuildChangeListNumber;
    char BuildBranch[NvShortStringLength];
    char Adapter[NvShortStringLength];
};
static_assert(sizeof(NvDisplayDriverVersion) == 140);
inline constexpr std::uint32_t NvDisplayDriverVersionVersion = NvRecordVersion(140, 1);

// Interface ids handed to the library's query function.
inline constexpr std::uint32_t NvIdInitialize = 0x0150E828;
inline constexpr std::uint32_t NvIdGetErrorMessage = 0x6C2D048C;
inline constexpr std::uint32_t NvIdGetDisplayDriverVersion = 0xF951A4D1;
inline constexpr std::uint32_t NvIdEnumNvidiaDisplayHandle = 0x9ABDD40D;
inline constexpr std::uint32_t NvIdGetPhysicalGpusFromDisplay = 0x34EF9506;
inline constexpr std::uint32_t NvIdGpuGetFullName = 0xCEEE8E9F;
inline constexpr std::uint32_t NvIdGpuGetThermalSettings = 0xE3640A56;

// Function types of the query function and of the functions it hands out.
extern "C" {
using NvQueryInterfaceFn = void* (*)(std::uint32_t id);
using NvInitializeFn = NvStatus (*)();
using NvGetErrorMessageFn = NvStatus (*)(NvStatus status, char* text);
using NvGetDisplayDriverVersionFn = NvStatus (*)(NvDisplayHandle display,
                                                 NvDisplayDriverVersion* version);
using NvEnumNvidiaDisplayHandleFn = NvStatus (*)(std::uint32_t index, NvDisplayHandle* display);
using NvGetPhysicalGpusFromDisplayFn = NvStatus (*)(NvDisplayHandle display,
                                                    NvPhysicalGpuHandle* gpus,
                                                    std::uint32_t* count);
using NvGpuGetFullNameFn = NvStatus (*)(NvPhysicalGpuHandle gpu, char* name);
using NvGpuGetThermalSettingsFn = NvStatus (*)(NvPhysicalGpuHandle gpu, std::int32_t sensorIndex,
                                               NvThermalSettings* settings);
}
