// Driving the simulated driver library (tools/nvapi-sim) from a Windows test.
//
// The library reads the scenario file named by NVAPI_SIM_SCENARIO on every call, so a test can
// write a scenario, start the code under test, and change the driver's answers while it runs.
// Each test process has its own scenario and call-log file in the temp folder (named after the
// process id, removed when the process exits); the environment variables are set in the test
// process and so reach the library in it and every child process it starts.
#pragma once

#include <string>
#include <vector>

// This process's scenario file (a Windows path).
std::string SimScenarioPath();

// Makes text this process's scenario: written beside the scenario file, then renamed over it,
// so the library never reads half a file. Sets NVAPI_SIM_SCENARIO. False when writing failed.
bool WriteSimScenario(const std::string& text);

// Makes one of the scenarios shipped with the library (tools/nvapi-sim/scenarios/NAME) this
// process's scenario, as a copy that WriteSimScenario can later replace.
bool UseShippedSimScenario(const char* name);

// Starts an empty call log for this process and points NVAPI_SIM_LOG at it. The library then
// appends a line per call: "<function> gpu=<n> status=<s>[ core=<c>]", or
// "nvapi_QueryInterface id=0x<8 hex digits> found=<0|1>".
void StartSimCallLog();

// The lines of the call log so far.
std::vector<std::string> SimCallLog();

// How many logged calls of function (e.g. "NvAPI_GPU_GetFullName") there were; with gpu >= 0
// only those for that GPU number (1 for GPU 1; 0 for calls that take no GPU).
int CountSimCalls(const char* function, int gpu = -1);

// A file of the simulator's build folder, e.g. "noexport\\nvapi64.dll" or "scenarios\\demo.ini",
// found from the test program's own place in the build tree.
std::string SimBuildPath(const char* relative);
