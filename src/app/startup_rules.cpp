#include "app/startup_rules.h"

#include <cstring>

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
    if (folderLength + nameLength >= capacity)
        return false;
    std::memcpy(dest, folder, folderLength);
    std::memcpy(dest + folderLength, name, nameLength + 1);
    return true;
}
