#include "app/settings_file.h"

#include "app/settings_rules.h"
#include "core/gpu_monitor.h"
#include "core/text_rules.h"

namespace {

constexpr char Section[] = "Settings";

// Without a settings path (the data folder's path was too long for it) every key reads as its
// default and nothing is written.
bool SettingsFileKnown() {
    return Monitor.SettingsPath[0] != '\0';
}

// The value as GetPrivateProfileIntA reads it: the number the text begins with as a 32-bit
// pattern, 0 when it begins with none, the default when the key is missing.
std::uint32_t ReadNumber(const char* key, std::uint32_t fallback) {
    if (!SettingsFileKnown())
        return fallback;
    return GetPrivateProfileIntA(Section, key, static_cast<INT>(fallback), Monitor.SettingsPath);
}

void WriteKey(const char* key, const char* text) {
    if (SettingsFileKnown())
        WritePrivateProfileStringA(Section, key, text, Monitor.SettingsPath);
}

void WriteUnsignedKey(const char* key, std::uint32_t value) {
    char text[12] = "";
    AppendUnsigned(text, value);
    WriteKey(key, text);
}

void WriteSignedKey(const char* key, std::int32_t value) {
    char text[12] = "";
    AppendSigned(text, value);
    WriteKey(key, text);
}

// Every field not read from the file stays 0; the number is drawn without smoothing so it
// stays crisp at icon size.
void LoadIconFont() {
    LOGFONTA font = {};
    font.lfHeight =
        SignedFromFile(ReadNumber("Height", static_cast<std::uint32_t>(DefaultFontHeight)));
    font.lfWeight =
        SignedFromFile(ReadNumber("Weight", static_cast<std::uint32_t>(DefaultFontWeight)));
    font.lfItalic = ByteFromFile(ReadNumber("Italic", DefaultFontItalic));
    font.lfPitchAndFamily = ByteFromFile(ReadNumber("PitchAndFamily", DefaultPitchAndFamily));
    char faceName[FaceNameReadCapacity] = "";
    CopyText(faceName, DefaultFaceName);
    if (SettingsFileKnown())
        GetPrivateProfileStringA(Section, "FaceName", DefaultFaceName, faceName, sizeof faceName,
                                 Monitor.SettingsPath);
    CopyText(font.lfFaceName, faceName);
    font.lfQuality = NONANTIALIASED_QUALITY;
    Monitor.IconFont = font;
}

} // namespace

void LoadSettings() {
    Monitor.RunHidden = ReadNumber("RunHidden", 0) != 0;
    Monitor.ShowDetails = ReadNumber("ShowDetails", 0) != 0;
    Monitor.Interval = IntervalFromFile(ReadNumber("Interval", DefaultInterval));
    Monitor.AlertThreshold = AlertThresholdFromFile(
        ReadNumber("AlertThreshold", Monitor.AlertThresholdDefault), Monitor.AlertThresholdDefault);
    LoadIconFont();
    Monitor.IconColor = ColorFromFile(ReadNumber("IconColor", GetSysColor(COLOR_BTNTEXT)));
}

void WriteRunHidden() {
    WriteKey("RunHidden", "1");
}

void WriteShowDetails(bool shown) {
    WriteKey("ShowDetails", shown ? "1" : "0");
}

void WriteInterval(std::uint32_t seconds) {
    WriteUnsignedKey("Interval", seconds);
}

void WriteAlertThreshold(std::uint32_t threshold) {
    WriteUnsignedKey("AlertThreshold", threshold);
}

void WriteIconFontSettings() {
    const LOGFONTA& font = Monitor.IconFont;
    WriteUnsignedKey("IconColor", Monitor.IconColor);
    WriteSignedKey("Height", font.lfHeight);
    WriteSignedKey("Weight", font.lfWeight);
    WriteUnsignedKey("Italic", font.lfItalic);
    WriteUnsignedKey("PitchAndFamily", font.lfPitchAndFamily);
    WriteKey("FaceName", font.lfFaceName);
}
