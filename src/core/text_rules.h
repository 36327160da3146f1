// Bounded text building. Every function keeps the destination terminated inside its capacity
// and cuts off what does not fit; none of them reads past a terminator or a given source limit.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies source into dest (capacity bytes including the terminator), reading at most
// sourceLimit bytes of source, which need not be terminated within them. Returns the length.
std::size_t CopyText(char* dest, std::size_t capacity, const char* source,
                     std::size_t sourceLimit = SIZE_MAX);

// Appends source to the terminated text in dest. Returns the new length.
std::size_t AppendText(char* dest, std::size_t capacity, const char* source);

// Appends the decimal digits of value ("%u"). Returns the new length.
std::size_t AppendUnsigned(char* dest, std::size_t capacity, std::uint32_t value);

// Appends value in decimal with a leading minus sign when negative ("%d").
std::size_t AppendSigned(char* dest, std::size_t capacity, std::int32_t value);

template <std::size_t N>
std::size_t CopyText(char (&dest)[N], const char* source, std::size_t sourceLimit = SIZE_MAX) {
    return CopyText(dest, N, source, sourceLimit);
}
template <std::size_t N>
std::size_t AppendText(char (&dest)[N], const char* source) {
    return AppendText(dest, N, source);
}
template <std::size_t N>
std::size_t AppendUnsigned(char (&dest)[N], std::uint32_t value) {
    return AppendUnsigned(dest, N, value);
}
template <std::size_t N>
std::size_t AppendSigned(char (&dest)[N], std::int32_t value) {
    return AppendSigned(dest, N, value);
}
