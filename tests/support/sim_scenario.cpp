#include "support/sim_scenario.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string ProcessFile(const char* extension) {
    char folder[MAX_PATH];
    DWORD length = GetTempPathA(sizeof folder, folder);
    std::string path = length > 0 && length < sizeof folder ? folder : ".\\";
    return path + "kelvane-sim-" + std::to_string(GetCurrentProcessId()) + extension;
}

std::string SimLogPath() {
    return ProcessFile(".log");
}

void RemoveSimFiles() {
    DeleteFileA(SimScenarioPath().c_str());
    DeleteFileA((SimScenarioPath() + ".new").c_str());
    DeleteFileA(SimLogPath().c_str());
}

void RemoveSimFilesAtExit() {
    static bool registered = false;
    if (!registered)
        registered = std::atexit(RemoveSimFiles) == 0;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size();
    return CloseHandle(file) && ok;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

} // namespace

std::string SimScenarioPath() {
    return ProcessFile(".ini");
}

bool WriteSimScenario(const std::string& text) {
    RemoveSimFilesAtExit();
    std::string path = SimScenarioPath();
    std::string staged = path + ".new";
    if (!WriteWholeFile(staged, text))
        return false;
    // The library may be reading the old file at this moment; the rename waits for it.
    bool replaced = false;
    for (int attempt = 0; attempt < 500 && !replaced; ++attempt) {
        replaced = MoveFileExA(staged.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        if (!replaced)
            Sleep(10);
    }
    return replaced && SetEnvironmentVariableA("NVAPI_SIM_SCENARIO", path.c_str());
}

bool UseShippedSimScenario(const char* name) {
    std::string text;
    return ReadWholeFile(SimBuildPath((std::string("scenarios\\") + name).c_str()), text) &&
           WriteSimScenario(text);
}

void StartSimCallLog() {
    RemoveSimFilesAtExit();
    DeleteFileA(SimLogPath().c_str());
    SetEnvironmentVariableA("NVAPI_SIM_LOG", SimLogPath().c_str());
}

std::vector<std::string> SimCallLog() {
    std::vector<std::string> lines;
    std::ifstream file(SimLogPath());
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

int CountSimCalls(const char* function, int gpu) {
    std::string prefix = std::string(function) + " ";
    std::string gpuField = " gpu=" + std::to_string(gpu) + " ";
    int count = 0;
    for (const std::string& line : SimCallLog()) {
        if (line.compare(0, prefix.size(), prefix) == 0 &&
            (gpu < 0 || line.find(gpuField) != std::string::npos))
            ++count;
    }
    return count;
}

std::string SimBuildPath(const char* relative) {
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
    std::string folder(program, length);
    folder.erase(folder.find_last_of('\\') + 1);
    // Test programs live in <build>\bin, the simulator in <build>\tools\nvapi-sim.
    return folder + "..\\tools\\nvapi-sim\\" + relative;
}
