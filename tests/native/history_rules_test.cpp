#include <gtest/gtest.h>

#include <string>

#include "core/history_rules.h"

namespace {

HistoryTrace Trace(std::initializer_list<int> newestFirst) {
    HistoryTrace trace;
    ClearTrace(trace);
    int i = 0;
    for (int sample : newestFirst)
        trace[i++] = static_cast<std::uint8_t>(sample);
    return trace;
}

TEST(HistoryRules, AdvanceShiftsOlderAndDropsTheOldest) {
    HistoryTrace trace;
    for (int i = 0; i < HistoryLength; ++i)
        trace[i] = static_cast<std::uint8_t>(i);
    AdvanceTrace(trace, 70);
    EXPECT_EQ(trace[0], 70);
    for (int i = 1; i < HistoryLength; ++i)
        ASSERT_EQ(trace[i], i - 1) << "index " << i;
    // Only the low eight bits are stored; NoReading becomes the missing byte.
    AdvanceTrace(trace, NoReading);
    EXPECT_EQ(trace[0], NoReadingByte);
    AdvanceTrace(trace, 0x1234);
    EXPECT_EQ(trace[0], 0x34);
}

TEST(HistoryRules, PeakCountsBothTracesAndSkipsMissing) {
    EXPECT_EQ(PeakOfTraces(Trace({}), Trace({})), 0u);
    EXPECT_EQ(PeakOfTraces(Trace({60, 255, 254}), Trace({})), 254u);
    // Values left in trace 2 from an earlier two-GPU run still raise the peak.
    EXPECT_EQ(PeakOfTraces(Trace({60}), Trace({255, 255, 91})), 91u);
    HistoryTrace oldest = Trace({});
    oldest[255] = 99;
    EXPECT_EQ(PeakOfTraces(Trace({}), oldest), 99u);
}

TEST(HistoryRules, RaisePeakIgnoresMissingValues) {
    EXPECT_EQ(RaisePeak(50, 60), 60u);
    EXPECT_EQ(RaisePeak(50, 40), 50u);
    EXPECT_EQ(RaisePeak(50, NoReading), 50u);
    EXPECT_EQ(RaisePeak(0, 0xFFFFFFFEu), 0xFFFFFFFEu);
}

TEST(HistoryRules, OnlyTheUnbrokenNewestRunCounts) {
    EXPECT_EQ(CountUnbrokenSamples(Trace({})), 0);
    EXPECT_EQ(CountUnbrokenSamples(Trace({70, 71, 255, 72, 73})), 2);
    EXPECT_EQ(CountUnbrokenSamples(Trace({70, 71, 72})), 3);
    HistoryTrace full;
    full.fill(50);
    EXPECT_EQ(CountUnbrokenSamples(full), HistoryLength);
}

TEST(HistoryRules, KeepNewestClearsEverythingElse) {
    HistoryTrace trace = Trace({66, 67, 68});
    trace[255] = 40;
    KeepNewestSample(trace);
    EXPECT_EQ(trace, Trace({66}));
    HistoryTrace empty = Trace({255, 71});
    KeepNewestSample(empty);
    EXPECT_EQ(empty, Trace({}));
}

// The new file's name must fit wherever the history's fits: a name one character longer would
// make every save fail for a data folder near the path limit.
TEST(HistoryRules, TemporaryNameIsAsLongAsTheHistoryPath) {
    char name[260];
    ASSERT_TRUE(TemporarySiblingPath(name, sizeof name, "C:\\Data\\Kelvane.dat"));
    EXPECT_STREQ(name, "C:\\Data\\Kelvane.new");

    std::string longest(259 - 11, 'f');
    longest += "Kelvane.dat";
    ASSERT_TRUE(TemporarySiblingPath(name, sizeof name, longest.c_str()));
    EXPECT_EQ(std::string(name), longest.substr(0, 256) + "new");

    EXPECT_FALSE(TemporarySiblingPath(name, sizeof name, "ab"));
    EXPECT_FALSE(TemporarySiblingPath(name, 11, "Kelvane.dat"));
}

} // namespace
