#include "core/text_rules.h"

namespace {

std::size_t TextLength(const char* text, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && text[length] != '\0')
        ++length;
    return length;
}

} // namespace

std::size_t CopyText(char* dest, std::size_t capacity, const char* source,
                     std::size_t sourceLimit) {
    if (capacity == 0)
        return 0;
    std::size_t length = 0;
    while (length + 1 < capacity && length < sourceLimit && source[length] != '\0') {
        dest[length] = source[length];
        ++length;
    }
    dest[length] = '\0';
    return length;
}

std::size_t AppendText(char* dest, std::size_t capacity, const char* source) {
    if (capacity == 0)
        return 0;
    std::size_t length = TextLength(dest, capacity);
    if (length == capacity) { // not terminated: cut at the last byte
        dest[capacity - 1] = '\0';
        return capacity - 1;
    }
    while (length + 1 < capacity && *source != '\0')
        dest[length++] = *source++;
    dest[length] = '\0';
    return length;
}

std::size_t AppendUnsigned(char* dest, std::size_t capacity, std::uint32_t value) {
    char digits[11];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    char text[11];
    for (int i = 0; i < count; ++i)
        text[i] = digits[count - 1 - i];
    text[count] = '\0';
    return AppendText(dest, capacity, text);
}

std::size_t AppendSigned(char* dest, std::size_t capacity, std::int32_t value) {
    if (value >= 0)
        return AppendUnsigned(dest, capacity, static_cast<std::uint32_t>(value));
    AppendText(dest, capacity, "-");
    // Negate in unsigned arithmetic so that INT32_MIN stays defined.
    return AppendUnsigned(dest, capacity, 0u - static_cast<std::uint32_t>(value));
}
