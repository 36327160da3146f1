#include "app/localized.h"

#include "core/gpu_monitor.h"
#include "resource.h"

UINT LocalizedId(UINT germanId) {
    return Monitor.GermanUi ? germanId : germanId + ENGLISH_ID_OFFSET;
}

int LoadLocalizedString(UINT germanId, char (&text)[MessageCapacity]) {
    text[0] = '\0';
    return LoadStringA(Monitor.AppInstance, LocalizedId(germanId), text, MessageCapacity);
}
