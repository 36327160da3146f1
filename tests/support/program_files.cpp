#include "support/program_files.h"

std::string ProgramPath() {
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "Kelvane.exe";
}

HMODULE LoadProgramResources() {
    return LoadLibraryExA(ProgramPath().c_str(), nullptr,
                          LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
}

int CountGdiObjects() {
    int count = 0;
    for (ULONG_PTR index = 0; index <= 0xFFFF; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0)
            ++count;
    }
    return count;
}
