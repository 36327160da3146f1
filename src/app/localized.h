// The interface language: German resources carry the 400-block ids, English ones 400 more.
#pragma once

#include <windows.h>

#include "core/monitor_types.h"

// The id of the user's language for a German resource id.
UINT LocalizedId(UINT germanId);

// Loads the string germanId in the user's language; returns its length, 0 when it is missing
// (the text is then empty).
int LoadLocalizedString(UINT germanId, char (&text)[MessageCapacity]);
