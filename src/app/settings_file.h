// The settings file: section "Settings" of the INI file at Monitor.SettingsPath. It is read
// once at start-up; afterwards single keys are written back the moment they change. Results
// of writes are not examined: a failed write leaves the fields as they are.
#pragma once

#include <cstdint>

// Reads the ten keys into Monitor with their defaults and clamps. Needs SettingsPath and
// AlertThresholdDefault.
void LoadSettings();

// RunHidden = "1". It is never written as "0".
void WriteRunHidden();

// ShowDetails = "1" or "0".
void WriteShowDetails(bool shown);

// Interval = "%u" of the seconds.
void WriteInterval(std::uint32_t seconds);

// AlertThreshold = "%u": no threshold (NoReading) is written as 4294967295.
void WriteAlertThreshold(std::uint32_t threshold);

// IconColor, Height, Weight, Italic, PitchAndFamily and FaceName from Monitor, in that order.
void WriteIconFontSettings();
