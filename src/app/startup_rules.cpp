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
