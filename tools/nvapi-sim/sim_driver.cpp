// The simulated driver API library: its one export hands out the functions below by interface
// id, and every function answers from the scenario file as it reads at the moment of the call.
// A failing call writes nothing through its arguments, like the real library.
#include <windows.h>

#include <cmath>

#include "call_log.h"
#include "core/text_rules.h"
#include "scenario.h"
#include "sensors/driver_records.h"

namespace {

inline constexpr NvStatus InvalidArgument = -5;
inline constexpr NvStatus EndEnumeration = -7;
inline constexpr NvStatus IncompatibleStructVersion = -9;

// Handles are small numbers the library maps back: display i is DisplayHandleBase + i + 1,
// GPU n (1 to 64) is GpuHandleBase + n.
inline constexpr std::uintptr_t DisplayHandleBase = 0x10000;
inline constexpr std::uintptr_t GpuHandleBase = 0x2000;

// The built-in scenario: one display, one GPU with one sensor.
inline constexpr char DefaultGpuName[] = "NVIDIA GeForce GTX 1080";
inline constexpr std::int64_t DefaultDriverVersion = 53112;
inline constexpr std::int64_t DefaultGpuSensor[3] = {NvThermalTargetGpu, 45, 95};

// Call counters that step the scenario's lists: per function, and per GPU for the functions
// that take a GPU handle. The enumeration counts passes (calls with index 0), not calls.
LONG InitializeCalls;
LONG EnumerationPasses;
LONG VersionCalls;
LONG GpuQueryCalls;
LONG ErrorMessageCalls;
LONG NameCalls[NvMaxPhysicalGpus + 1];
LONG ThermalCalls[NvMaxPhysicalGpus + 1];

std::uint32_t NextCall(LONG& counter) {
    return static_cast<std::uint32_t>(InterlockedIncrement(&counter) - 1);
}

std::uint32_t EnumerationPass(std::uint32_t index) {
    LONG passes = index == 0 ? InterlockedIncrement(&EnumerationPasses) : EnumerationPasses;
    return passes > 0 ? static_cast<std::uint32_t>(passes - 1) : 0;
}

NvStatus ScenarioStatus(const Scenario& scenario, const char* key, std::uint32_t call,
                        NvStatus fallback = NvOk) {
    return static_cast<NvStatus>(ScenarioNumber(scenario, key, call, fallback));
}

NvStatus GpuStatus(const Scenario& scenario, std::uint32_t gpu, const char* suffix,
                   std::uint32_t call) {
    char key[64];
    GpuKey(key, sizeof key, gpu, suffix);
    return ScenarioStatus(scenario, key, call);
}

std::int64_t Clamp(std::int64_t value, std::int64_t low, std::int64_t high) {
    return value < low ? low : value > high ? high : value;
}

NvDisplayHandle DisplayHandle(std::uint32_t index) {
    return reinterpret_cast<NvDisplayHandle>(DisplayHandleBase + index + 1);
}

// Null stands for the default display, as in the real library.
bool KnownDisplay(NvDisplayHandle display) {
    return display == nullptr || reinterpret_cast<std::uintptr_t>(display) > DisplayHandleBase;
}

NvPhysicalGpuHandle GpuHandle(std::uint32_t gpu) {
    return reinterpret_cast<NvPhysicalGpuHandle>(GpuHandleBase + gpu);
}

// 1 to 64 for a handle this library gave out, 0 for anything else.
std::uint32_t GpuNumber(NvPhysicalGpuHandle gpu) {
    std::uintptr_t value = reinterpret_cast<std::uintptr_t>(gpu);
    if (value <= GpuHandleBase || value > GpuHandleBase + NvMaxPhysicalGpus)
        return 0;
    return static_cast<std::uint32_t>(value - GpuHandleBase);
}

// Writes a short string into a 64-character buffer. Terminated, a longer text is cut to 63
// characters; unterminated, all 64 characters are filled (padded with '_') and no terminator
// follows, which the real library does for long names.
void WriteShortString(char* out, const char* text, bool unterminated) {
    int length = 0;
    int room = unterminated ? NvShortStringLength : NvShortStringLength - 1;
    for (; length < room && text[length] != '\0'; ++length)
        out[length] = text[length];
    if (unterminated) {
        for (; length < NvShortStringLength; ++length)
            out[length] = '_';
    } else {
        out[length] = '\0';
    }
}

const char* StatusName(NvStatus status) {
    static const char* const names[] = {
        "NVAPI_OK",
        "NVAPI_ERROR",
        "NVAPI_LIBRARY_NOT_FOUND",
        "NVAPI_NO_IMPLEMENTATION",
        "NVAPI_API_NOT_INITIALIZED",
        "NVAPI_INVALID_ARGUMENT",
        "NVAPI_NVIDIA_DEVICE_NOT_FOUND",
        "NVAPI_END_ENUMERATION",
        "NVAPI_INVALID_HANDLE",
        "NVAPI_INCOMPATIBLE_STRUCT_VERSION",
    };
    if (status <= 0 && -status < static_cast<NvStatus>(sizeof names / sizeof names[0]))
        return names[-status];
    return "NVAPI_ERROR";
}

// A slow wave over wall-clock time: low at the start of each period, high in its middle.
std::int64_t WaveValue(std::int64_t low, std::int64_t high, std::int64_t periodSeconds) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    std::uint64_t ticks =
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    std::uint64_t period = static_cast<std::uint64_t>(periodSeconds) * 10000000u;
    double phase = static_cast<double>(ticks % period) / static_cast<double>(period);
    double rise = (1.0 - std::cos(2.0 * 3.14159265358979 * phase)) / 2.0;
    return low + std::llround(static_cast<double>(high - low) * rise);
}

// A small deterministic wobble in -amplitude .. amplitude that changes from call to call.
std::int64_t Jitter(std::int64_t amplitude, std::uint32_t gpu, std::uint32_t call) {
    std::uint32_t hash = (call + 1) * 2654435761u ^ gpu * 40503u;
    hash ^= hash >> 15;
    return static_cast<std::int64_t>(hash % static_cast<std::uint32_t>(2 * amplitude + 1)) -
           amplitude;
}

// The current temperature that replaces every GPU sensor's own, if the scenario gives one:
// "core.wave" before "core", plus "core.jitter".
bool CoreOverride(const Scenario& scenario, std::uint32_t gpu, std::uint32_t call,
                  std::int64_t& core) {
    char key[64];
    std::int64_t wave[3];
    GpuKey(key, sizeof key, gpu, ".core.wave");
    if (ScenarioNumbers(scenario, key, call, 3, wave) && wave[2] > 0) {
        core = WaveValue(wave[0], wave[1], wave[2]);
    } else {
        GpuKey(key, sizeof key, gpu, ".core");
        if (!ScenarioNumbers(scenario, key, call, 1, &core))
            return false;
    }
    GpuKey(key, sizeof key, gpu, ".core.jitter");
    std::int64_t amplitude = Clamp(ScenarioNumber(scenario, key, call, 0), 0, 1000);
    if (amplitude > 0)
        core += Jitter(amplitude, gpu, call);
    if (core < 0)
        core = 0;
    return true;
}

// Fills the three sensor slots and the count; returns the hottest GPU sensor written.
std::uint32_t FillThermalRecord(const Scenario& scenario, std::uint32_t gpu, std::uint32_t call,
                                NvThermalSettings& settings) {
    char key[64];
    GpuKey(key, sizeof key, gpu, ".sensors");
    settings.Count = static_cast<std::uint32_t>(ScenarioNumber(scenario, key, call, 1));

    std::int64_t core = 0;
    bool coreOverride = CoreOverride(scenario, gpu, call, core);
    std::int64_t board = 0;
    GpuKey(key, sizeof key, gpu, ".board");
    bool boardOverride = ScenarioNumbers(scenario, key, call, 1, &board);

    std::uint32_t hottest = 0;
    for (int slot = 0; slot < NvThermalSensorSlots; ++slot) {
        std::int64_t sensor[3] = {0, 0, 0}; // target, current, default maximum
        if (slot == 0) {
            for (int i = 0; i < 3; ++i)
                sensor[i] = DefaultGpuSensor[i];
        }
        char suffix[16];
        CopyText(suffix, ".sensor");
        AppendUnsigned(suffix, static_cast<std::uint32_t>(slot + 1));
        GpuKey(key, sizeof key, gpu, suffix);
        ScenarioNumbers(scenario, key, call, 3, sensor);

        NvThermalSensor& out = settings.Sensor[slot];
        out.Controller = 1;
        out.DefaultMinTemp = 0;
        out.Target = static_cast<std::uint32_t>(sensor[0]);
        out.CurrentTemp = static_cast<std::uint32_t>(sensor[1]);
        out.DefaultMaxTemp = static_cast<std::uint32_t>(sensor[2]);
        if (out.Target == NvThermalTargetGpu && coreOverride)
            out.CurrentTemp = static_cast<std::uint32_t>(core);
        if (out.Target == NvThermalTargetBoard && boardOverride)
            out.CurrentTemp = static_cast<std::uint32_t>(board);
        if (out.Target == NvThermalTargetGpu && out.CurrentTemp > hottest)
            hottest = out.CurrentTemp;
    }
    return hottest;
}

NvStatus Initialize() {
    Scenario scenario;
    LoadScenario(scenario);
    NvStatus status = ScenarioStatus(scenario, "initialize.status", NextCall(InitializeCalls));
    LogCall("NvAPI_Initialize", 0, status);
    return status;
}

NvStatus GetErrorMessage(NvStatus failure, char* text) {
    Scenario scenario;
    LoadScenario(scenario);
    std::uint32_t call = NextCall(ErrorMessageCalls);
    NvStatus status =
        text == nullptr ? InvalidArgument : ScenarioStatus(scenario, "error.status", call);
    if (status == NvOk) {
        const char* configured = ScenarioValue(scenario, "error.text");
        bool unterminated = ScenarioNumber(scenario, "error.text.unterminated", call, 0) != 0;
        WriteShortString(text, configured != nullptr ? configured : StatusName(failure),
                         unterminated);
    }
    LogCall("NvAPI_GetErrorMessage", 0, status);
    return status;
}

NvStatus GetDisplayDriverVersion(NvDisplayHandle display, NvDisplayDriverVersion* version) {
    Scenario scenario;
    LoadScenario(scenario);
    std::uint32_t call = NextCall(VersionCalls);
    NvStatus status = version == nullptr || !KnownDisplay(display) ? InvalidArgument
                      : version->Version != NvDisplayDriverVersionVersion
                          ? IncompatibleStructVersion
                          : ScenarioStatus(scenario, "version.status", call);
    if (status == NvOk) {
        version->DriverVersion = static_cast<std::uint32_t>(
            ScenarioNumber(scenario, "version", call, DefaultDriverVersion));
        version->BuildChangeListNumber = 0;
        WriteShortString(version->BuildBranch, "sim", false);
        const char* name = ScenarioValue(scenario, "gpu1.name");
        WriteShortString(version->Adapter, name != nullptr ? name : DefaultGpuName, false);
    }
    LogCall("NvAPI_GetDisplayDriverVersion", 0, status);
    return status;
}

NvStatus EnumNvidiaDisplayHandle(std::uint32_t index, NvDisplayHandle* display) {
    Scenario scenario;
    LoadScenario(scenario);
    std::uint32_t pass = EnumerationPass(index);
    std::int64_t displays = ScenarioNumber(scenario, "displays", pass, 1);
    NvStatus status = static_cast<std::int64_t>(index) < displays
                          ? NvOk
                          : ScenarioStatus(scenario, "enum.status", pass, EndEnumeration);
    if (status == NvOk && display == nullptr)
        status = InvalidArgument;
    if (status == NvOk)
        *display = DisplayHandle(index);
    LogCall("NvAPI_EnumNvidiaDisplayHandle", 0, status);
    return status;
}

NvStatus GetPhysicalGpusFromDisplay(NvDisplayHandle display, NvPhysicalGpuHandle* gpus,
                                    std::uint32_t* count) {
    Scenario scenario;
    LoadScenario(scenario);
    std::uint32_t call = NextCall(GpuQueryCalls);
    NvStatus status = gpus == nullptr || count == nullptr || !KnownDisplay(display)
                          ? InvalidArgument
                          : ScenarioStatus(scenario, "gpus.status", call);
    if (status == NvOk) {
        auto found = static_cast<std::uint32_t>(
            Clamp(ScenarioNumber(scenario, "gpus", call, 1), 0, NvMaxPhysicalGpus));
        for (std::uint32_t i = 0; i < found; ++i)
            gpus[i] = GpuHandle(i + 1);
        *count = found;
    }
    LogCall("NvAPI_GetPhysicalGPUsFromDisplay", 0, status);
    return status;
}

NvStatus GpuGetFullName(NvPhysicalGpuHandle gpu, char* name) {
    Scenario scenario;
    LoadScenario(scenario);
    std::uint32_t number = GpuNumber(gpu);
    NvStatus status = InvalidArgument;
    if (number != 0 && name != nullptr) {
        std::uint32_t call = NextCall(NameCalls[number]);
        status = GpuStatus(scenario, number, ".name.status", call);
        if (status == NvOk) {
            char key[64];
            GpuKey(key, sizeof key, number, ".name");
            const char* configured = ScenarioValue(scenario, key);
            GpuKey(key, sizeof key, number, ".name.unterminated");
            bool unterminated = ScenarioNumber(scenario, key, call, 0) != 0;
            WriteShortString(name, configured != nullptr ? configured : DefaultGpuName,
                             unterminated);
        }
    }
    LogCall("NvAPI_GPU_GetFullName", number, status);
    return status;
}

NvStatus GpuGetThermalSettings(NvPhysicalGpuHandle gpu, std::int32_t sensorIndex,
                               NvThermalSettings* settings) {
    Scenario scenario;
    LoadScenario(scenario);
    std::uint32_t number = GpuNumber(gpu);
    NvStatus status = InvalidArgument;
    std::uint32_t hottest = 0;
    // Only the query of all sensors at once is served.
    if (number != 0 && settings != nullptr && sensorIndex == NvAllThermalSensors) {
        std::uint32_t call = NextCall(ThermalCalls[number]);
        status = settings->Version != NvThermalSettingsVersion
                     ? IncompatibleStructVersion
                     : GpuStatus(scenario, number, ".thermal.status", call);
        if (status == NvOk)
            hottest = FillThermalRecord(scenario, number, call, *settings);
    }
    LogCall("NvAPI_GPU_GetThermalSettings", number, status, status == NvOk ? &hottest : nullptr);
    return status;
}

bool Absent(std::uint32_t id) {
    Scenario scenario;
    LoadScenario(scenario);
    std::int64_t ids[64];
    int count = ScenarioNumberList(scenario, "absent", ids, 64);
    for (int i = 0; i < count; ++i) {
        if (static_cast<std::uint32_t>(ids[i]) == id)
            return true;
    }
    return false;
}

// The typed pointers make the compiler check every function against its declared type.
void* FunctionFor(std::uint32_t id) {
    NvInitializeFn initialize = &Initialize;
    NvGetErrorMessageFn errorMessage = &GetErrorMessage;
    NvGetDisplayDriverVersionFn driverVersion = &GetDisplayDriverVersion;
    NvEnumNvidiaDisplayHandleFn enumDisplays = &EnumNvidiaDisplayHandle;
    NvGetPhysicalGpusFromDisplayFn physicalGpus = &GetPhysicalGpusFromDisplay;
    NvGpuGetFullNameFn fullName = &GpuGetFullName;
    NvGpuGetThermalSettingsFn thermal = &GpuGetThermalSettings;
    switch (id) {
    case NvIdInitialize:
        return reinterpret_cast<void*>(initialize);
    case NvIdGetErrorMessage:
        return reinterpret_cast<void*>(errorMessage);
    case NvIdGetDisplayDriverVersion:
        return reinterpret_cast<void*>(driverVersion);
    case NvIdEnumNvidiaDisplayHandle:
        return reinterpret_cast<void*>(enumDisplays);
    case NvIdGetPhysicalGpusFromDisplay:
        return reinterpret_cast<void*>(physicalGpus);
    case NvIdGpuGetFullName:
        return reinterpret_cast<void*>(fullName);
    case NvIdGpuGetThermalSettings:
        return reinterpret_cast<void*>(thermal);
    default:
        return nullptr;
    }
}

} // namespace

// The library's only export.
extern "C" void* nvapi_QueryInterface(std::uint32_t id) {
    void* function = Absent(id) ? nullptr : FunctionFor(id);
    LogQuery(id, function != nullptr);
    return function;
}
