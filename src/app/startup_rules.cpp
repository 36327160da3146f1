#include "app/startup_rules.h"

#include <cstring>
#include <cwchar>

std::uint32_t AlertThresholdFromLimits(std::uint32_t gpu1Limit, bool gpu2Read,
                                       std::uint32_t gpu2Limit) {
    std::uint32_t limit = gpu1Limit;
    if (gpu2Read && gpu2Limit != 0 && gpu2Limit < limit)
        limit = gpu2Limit;
    return limit != 0 ? limit : 100;
}

bool AdapterIdPassesVendorCheck(const char* deviceId) {
    return deviceId[0] == '\0' || std::strstr(deviceId, "VEN_10DE") != nullptr;
}

bool DataFilePath(char* dest, std::size_t capacity, const char* folder, const char* name) {
    std::size_t folderLength = std::strlen(folder);
    std::size_t nameLength = std::strlen(name);
    dest[0] = '\0';
    if (folderLength == 0 || folderLength + nameLength >= capacity)
        return false;
    std::memcpy(dest, folder, folderLength);
    std::memcpy(dest + folderLength, name, nameLength + 1);
    return true;
}

bool AppendWideFolder(wchar_t* path, std::size_t capacity, const char* name) {
    std::size_t length = std::wcslen(path);
    bool separator = length == 0 || path[length - 1] != L'\\';
    std::size_t nameLength = std::strlen(name);
    if (length + (separator ? 1 : 0) + nameLength >= capacity)
        return false;
    if (separator)
        path[length++] = L'\\';
    for (std::size_t i = 0; i <= nameLength; ++i)
        path[length + i] = static_cast<unsigned char>(name[i]);
    return true;
}
