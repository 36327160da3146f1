#include "scenario.h"

#include <windows.h>

#include "core/text_rules.h"

namespace {

inline constexpr int MaxListNumbers = 256;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool SameKey(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a - 'A' + 'a') : *a;
        char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b - 'A' + 'a') : *b;
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

// Reads at most MaxScenarioBytes of the file; false when it cannot be opened.
bool ReadScenarioFile(const char* path, char* text) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD total = 0;
    DWORD got = 0;
    while (
        total < MaxScenarioBytes &&
        ReadFile(file, text + total, static_cast<DWORD>(MaxScenarioBytes - total), &got, nullptr) &&
        got > 0)
        total += got;
    CloseHandle(file);
    text[total] = '\0';
    return true;
}

char* Trim(char* begin, char* end) {
    while (begin < end && IsBlank(*begin))
        ++begin;
    while (end > begin && IsBlank(end[-1]))
        --end;
    *end = '\0';
    return begin;
}

// Splits one line in place into key and value. A '#' at the start of the line or after a blank
// starts a comment, as does a ';' at the start of the line.
void ParseLine(Scenario& scenario, char* line, char* end) {
    for (char* c = line; c < end; ++c) {
        if (*c == '#' && (c == line || IsBlank(c[-1]))) {
            end = c;
            break;
        }
    }
    char* first = line;
    while (first < end && IsBlank(*first))
        ++first;
    if (first == end || *first == ';')
        return;
    char* equals = first;
    while (equals < end && *equals != '=')
        ++equals;
    if (equals == end || scenario.EntryCount == MaxScenarioEntries)
        return;
    char* key = Trim(first, equals);
    char* value = Trim(equals + 1, end);
    if (*key == '\0')
        return;
    scenario.Entries[scenario.EntryCount++] = {key, value};
}

// One number: decimal with an optional sign, or hexadecimal after "0x". Advances text.
bool ParseNumber(const char*& text, std::int64_t& number) {
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    std::uint64_t value = 0;
    int digits = 0;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text += 2;
        for (;; ++text, ++digits) {
            char c = *text;
            int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                 : -1;
            if (digit < 0 || digits > 16)
                break;
            value = value * 16 + static_cast<std::uint64_t>(digit);
        }
    } else {
        for (; *text >= '0' && *text <= '9' && digits <= 18; ++text, ++digits)
            value = value * 10 + static_cast<std::uint64_t>(*text - '0');
    }
    if (digits == 0 || (*text != '\0' && !IsBlank(*text)))
        return false;
    number = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
    return true;
}

// Parses every number of a value; -1 when any of them is malformed.
int ParseNumbers(const char* value, std::int64_t* out, int capacity) {
    int count = 0;
    for (;;) {
        while (IsBlank(*value))
            ++value;
        if (*value == '\0' || count == capacity)
            return count;
        if (!ParseNumber(value, out[count]))
            return -1;
        ++count;
    }
}

} // namespace

bool PathFromVariable(const char* variable, char* path, std::size_t capacity) {
    char value[MAX_PATH];
    DWORD length = GetEnvironmentVariableA(variable, value, sizeof value);
    if (length == 0 || length >= sizeof value)
        return false;
    // "/tmp/x.ini" becomes "Z:\tmp\x.ini"; Windows paths stay as they are.
    CopyText(path, capacity, value[0] == '/' ? "Z:" : "");
    AppendText(path, capacity, value);
    for (char* c = path; *c != '\0'; ++c) {
        if (*c == '/')
            *c = '\\';
    }
    return true;
}

void LoadScenario(Scenario& scenario) {
    scenario.EntryCount = 0;
    scenario.Text[0] = '\0';
    char path[MAX_PATH + 2];
    if (!PathFromVariable("NVAPI_SIM_SCENARIO", path, sizeof path) ||
        !ReadScenarioFile(path, scenario.Text))
        return;
    char* line = scenario.Text;
    while (*line != '\0') {
        char* end = line;
        while (*end != '\0' && *end != '\n')
            ++end;
        char* next = *end == '\0' ? end : end + 1;
        ParseLine(scenario, line, end);
        line = next;
    }
}

const char* ScenarioValue(const Scenario& scenario, const char* key) {
    for (int i = scenario.EntryCount - 1; i >= 0; --i) {
        if (SameKey(scenario.Entries[i].Key, key))
            return scenario.Entries[i].Value;
    }
    return nullptr;
}

bool ScenarioNumbers(const Scenario& scenario, const char* key, std::uint32_t call, int width,
                     std::int64_t* out) {
    const char* value = ScenarioValue(scenario, key);
    if (value == nullptr || width <= 0)
        return false;
    std::int64_t numbers[MaxListNumbers];
    int count = ParseNumbers(value, numbers, MaxListNumbers);
    std::uint32_t groups = count > 0 ? static_cast<std::uint32_t>(count / width) : 0;
    if (groups == 0)
        return false;

    char cycleKey[128];
    CopyText(cycleKey, key);
    AppendText(cycleKey, ".cycle");
    const char* cycleValue = ScenarioValue(scenario, cycleKey);
    std::int64_t cycle = 0;
    bool cycles = cycleValue != nullptr && ParseNumber(cycleValue, cycle) && cycle != 0;

    std::uint32_t group = cycles ? call % groups : (call < groups ? call : groups - 1);
    for (int i = 0; i < width; ++i)
        out[i] = numbers[group * static_cast<std::uint32_t>(width) + static_cast<std::uint32_t>(i)];
    return true;
}

std::int64_t ScenarioNumber(const Scenario& scenario, const char* key, std::uint32_t call,
                            std::int64_t fallback) {
    std::int64_t number = fallback;
    ScenarioNumbers(scenario, key, call, 1, &number);
    return number;
}

int ScenarioNumberList(const Scenario& scenario, const char* key, std::int64_t* out, int capacity) {
    const char* value = ScenarioValue(scenario, key);
    if (value == nullptr)
        return 0;
    int count = ParseNumbers(value, out, capacity);
    return count < 0 ? 0 : count;
}

void GpuKey(char* key, std::size_t capacity, std::uint32_t gpu, const char* suffix) {
    CopyText(key, capacity, "gpu");
    AppendUnsigned(key, capacity, gpu);
    AppendText(key, capacity, suffix);
}
