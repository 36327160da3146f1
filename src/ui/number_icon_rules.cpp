#include "ui/number_icon_rules.h"

#include "core/text_rules.h"

void FormatIconNumber(char* text, std::size_t capacity, std::uint8_t value, bool withDegree) {
    if (value == UnreadIconValue) {
        CopyText(text, capacity, "?");
        return;
    }
    CopyText(text, capacity, "");
    AppendUnsigned(text, capacity, value);
    if (withDegree)
        AppendText(text, capacity, "\xB0");
}
