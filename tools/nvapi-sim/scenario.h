// The scenario file of the simulated driver: "key = value" lines, read afresh on every driver
// call so that a test or the demo can change the driver's answers while a program runs. A key
// that is missing (or a file that is missing) gives the built-in default for that key.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t MaxScenarioBytes = 32 * 1024;
inline constexpr int MaxScenarioEntries = 512;

struct ScenarioEntry {
    const char* Key;
    const char* Value;
};

// The parsed file: Entries point into Text.
struct Scenario {
    char Text[MaxScenarioBytes + 1];
    ScenarioEntry Entries[MaxScenarioEntries];
    int EntryCount;
};

// The Windows path named by an environment variable: a Unix path (starting with '/') is reached
// through drive Z:. False when the variable is unset or too long.
bool PathFromVariable(const char* variable, char* path, std::size_t capacity);

// Reads the file named by NVAPI_SIM_SCENARIO (a Windows path, or a Unix path starting with '/'
// reached through drive Z:). Without the variable or the file the scenario is empty.
void LoadScenario(Scenario& scenario);

// The value of key, the last one when the key appears more than once; null when absent.
const char* ScenarioValue(const Scenario& scenario, const char* key);

// Numeric values may be lists stepped per call: call number `call` (0 for the first call) picks
// the group of `width` numbers at that position, the last group repeating, or, with
// "<key>.cycle = 1", the list starting over. Returns false (out untouched) when the key is
// absent or holds no complete group.
bool ScenarioNumbers(const Scenario& scenario, const char* key, std::uint32_t call, int width,
                     std::int64_t* out);

// A single stepped number, or fallback when the key is absent or malformed.
std::int64_t ScenarioNumber(const Scenario& scenario, const char* key, std::uint32_t call,
                            std::int64_t fallback);

// Every number of a list (not stepped); returns how many were stored, at most capacity.
int ScenarioNumberList(const Scenario& scenario, const char* key, std::int64_t* out, int capacity);

// Builds a per-GPU key such as "gpu2.name.status" into key (capacity bytes).
void GpuKey(char* key, std::size_t capacity, std::uint32_t gpu, const char* suffix);
