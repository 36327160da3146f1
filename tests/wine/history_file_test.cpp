// The history file through the real file functions: what loads, and that a save either puts a
// complete new file in place or leaves the previous one untouched.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "core/gpu_monitor.h"
#include "core/history.h"
#include "core/history_rules.h"
#include "core/text_rules.h"
#include "support/message_box_capture.h"
#include "support/program_files.h"

namespace {

class HistoryFileTest : public testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "kelvane-history-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        path_ = folder_ + "\\Kelvane.dat";
        CopyText(Monitor.HistoryPath, path_.c_str());
        Monitor.DualGpu = false;
    }

    void TearDown() override {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(path_.c_str());
        DeleteFileA(TemporaryPath().c_str());
        RemoveDirectoryA(folder_.c_str());
    }

    void WriteBytes(const std::vector<unsigned char>& bytes) {
        HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        ASSERT_EQ(written, bytes.size());
    }

    std::vector<unsigned char> ReadBytes() const { return ReadFileBytes(path_); }

    static std::vector<unsigned char> ReadFileBytes(const std::string& path) {
        std::vector<unsigned char> bytes;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return bytes;
        unsigned char buffer[1024];
        DWORD read = 0;
        while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
            bytes.insert(bytes.end(), buffer, buffer + read);
        CloseHandle(file);
        return bytes;
    }

    std::string TemporaryPath() const { return folder_ + "\\Kelvane.new"; }

    bool TemporaryFileLeft() const {
        return GetFileAttributesA(TemporaryPath().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    static std::vector<unsigned char> Pattern(std::size_t size) {
        std::vector<unsigned char> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(i % 200);
        return bytes;
    }

    static void FillTraces(unsigned char first, unsigned char second) {
        Monitor.Trace[0].fill(first);
        Monitor.Trace[1].fill(second);
    }

    std::string folder_;
    std::string path_;
};

TEST_F(HistoryFileTest, LoadTakesExactlyTheFirst512Bytes) {
    WriteBytes(Pattern(600));
    LoadHistoryFile();
    for (int i = 0; i < HistoryLength; ++i) {
        ASSERT_EQ(Monitor.Trace[0][i], i % 200);
        ASSERT_EQ(Monitor.Trace[1][i], (i + 256) % 200);
    }
    EXPECT_EQ(Monitor.PeakTemperature, 199u);
}

TEST_F(HistoryFileTest, ShortMissingOrFolderLoadsEmpty) {
    HistoryTrace empty;
    ClearTrace(empty);
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        FillTraces(50, 60);
        Monitor.PeakTemperature = 77;
        if (variant == 0) {
            WriteBytes(Pattern(511));
        } else if (variant == 2) {
            ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
        }
        LoadHistoryFile();
        EXPECT_EQ(Monitor.Trace[0], empty);
        EXPECT_EQ(Monitor.Trace[1], empty);
        EXPECT_EQ(Monitor.PeakTemperature, 0u);
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(path_.c_str());
    }
}

TEST_F(HistoryFileTest, PeakCountsTrace2EvenWithOneGpu) {
    std::vector<unsigned char> bytes(512, 255);
    bytes[0] = 61;
    bytes[256 + 9] = 88;
    WriteBytes(bytes);
    LoadHistoryFile();
    EXPECT_EQ(Monitor.PeakTemperature, 88u);
}

TEST_F(HistoryFileTest, SaveWritesBothTracesNewestFirst) {
    FillTraces(255, 255);
    Monitor.DualGpu = true;
    AdvanceHistory(70, 80);
    AdvanceHistory(71, NoReading);
    ASSERT_TRUE(SaveHistoryFile());
    std::vector<unsigned char> bytes = ReadBytes();
    ASSERT_EQ(bytes.size(), 512u);
    EXPECT_EQ(bytes[0], 71);
    EXPECT_EQ(bytes[1], 70);
    EXPECT_EQ(bytes[2], 255);
    EXPECT_EQ(bytes[256], 255);
    EXPECT_EQ(bytes[257], 80);
    EXPECT_FALSE(TemporaryFileLeft());
    // A second save replaces the first completely.
    FillTraces(40, 41);
    ASSERT_TRUE(SaveHistoryFile());
    std::vector<unsigned char> expected(256, 40);
    expected.resize(512, 41);
    EXPECT_EQ(ReadBytes(), expected);
}

TEST_F(HistoryFileTest, FailedSaveKeepsThePreviousFile) {
    std::vector<unsigned char> previous = Pattern(512);
    FillTraces(99, 98);

    // Read-only file.
    WriteBytes(previous);
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(SaveHistoryFile());
    EXPECT_EQ(ReadBytes(), previous);
    EXPECT_FALSE(TemporaryFileLeft());
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A file held open by someone who shares nothing: Windows refuses the replacement, Wine
    // allows it; either way the file is the previous one or the complete new one.
    HANDLE holder = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    bool saved = SaveHistoryFile();
    CloseHandle(holder);
    std::vector<unsigned char> expected(256, 99);
    expected.resize(512, 98);
    EXPECT_EQ(ReadBytes(), saved ? expected : previous);
    EXPECT_FALSE(TemporaryFileLeft());

    // A folder where the file should be.
    DeleteFileA(path_.c_str());
    ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
    EXPECT_FALSE(SaveHistoryFile());
    EXPECT_FALSE(TemporaryFileLeft());
}

// An interval change clears the histories down to their newest samples, asking first when there
// are three or more unbroken samples.
class HistoryResetTest : public HistoryFileTest {
  protected:
    void SetUp() override {
        HistoryFileTest::SetUp();
        Monitor.AppInstance = LoadProgramResources();
        ASSERT_NE(Monitor.AppInstance, nullptr);
        ASSERT_TRUE(BeginMessageBoxCapture());
    }
    void TearDown() override {
        EndMessageBoxCapture();
        HistoryFileTest::TearDown();
    }

    static void SetTraces(std::initializer_list<int> trace1, std::initializer_list<int> trace2) {
        FillTraces(255, 255);
        int i = 0;
        for (int sample : trace1)
            Monitor.Trace[0][i++] = static_cast<std::uint8_t>(sample);
        i = 0;
        for (int sample : trace2)
            Monitor.Trace[1][i++] = static_cast<std::uint8_t>(sample);
    }
};

TEST_F(HistoryResetTest, DecliningChangesNothing) {
    SetTraces({60, 61, 62, 63}, {70, 71});
    Monitor.PeakTemperature = 90;
    WriteBytes(Pattern(512));
    SetMessageBoxAnswer(IDCANCEL);
    EXPECT_FALSE(ResetHistoryForInterval(nullptr));
    ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
    const CapturedMessageBox& box = CapturedMessageBoxes()[0];
    EXPECT_EQ(box.Text,
              "The temperature history can not be adjust\r\nto the new scale and will be deleted.");
    EXPECT_EQ(box.Caption, "Kelvane");
    EXPECT_EQ(box.Icon, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(box.Buttons, static_cast<UINT>(MB_OKCANCEL));
    EXPECT_EQ(Monitor.Trace[0][3], 63);
    EXPECT_EQ(Monitor.Trace[1][1], 71);
    EXPECT_EQ(Monitor.PeakTemperature, 90u);
    EXPECT_EQ(ReadBytes(), Pattern(512));
}

TEST_F(HistoryResetTest, AcceptingKeepsTheNewestSamplesAndSavesAnExistingFile) {
    SetTraces({66, 67, 68}, {255, 90});
    WriteBytes(Pattern(512));
    EXPECT_TRUE(ResetHistoryForInterval(nullptr));
    EXPECT_EQ(CapturedMessageBoxes().size(), 1u);
    EXPECT_EQ(Monitor.PeakTemperature, 66u);
    std::vector<unsigned char> expected(512, 255);
    expected[0] = 66;
    EXPECT_EQ(ReadBytes(), expected);
}

TEST_F(HistoryResetTest, ShortRunsClearWithoutAskingAndCreateNoFile) {
    // Two samples before the first gap: no question.
    SetTraces({70, 71, 255, 72, 73}, {255});
    EXPECT_TRUE(ResetHistoryForInterval(nullptr));
    EXPECT_TRUE(CapturedMessageBoxes().empty());
    EXPECT_EQ(Monitor.PeakTemperature, 70u);
    EXPECT_EQ(Monitor.Trace[0][3], 255);
    EXPECT_EQ(GetFileAttributesA(path_.c_str()), INVALID_FILE_ATTRIBUTES);

    SetTraces({255}, {71, 72, 73});
    EXPECT_TRUE(ResetHistoryForInterval(nullptr));
    EXPECT_EQ(Monitor.PeakTemperature, 71u);
    SetTraces({255}, {255});
    EXPECT_TRUE(ResetHistoryForInterval(nullptr));
    EXPECT_EQ(Monitor.PeakTemperature, 0u);
}

TEST_F(HistoryResetTest, GermanQuestion) {
    Monitor.GermanUi = true;
    SetTraces({60, 61, 62}, {});
    SetMessageBoxAnswer(IDCANCEL);
    EXPECT_FALSE(ResetHistoryForInterval(nullptr));
    ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
    EXPECT_EQ(CapturedMessageBoxes()[0].Text,
              "Der Verlauf der Kerntemperatur kann nicht an die neue\r\nMa\xDF"
              "einteilung angepasst werden und wird gel\xF6scht.");
}

TEST_F(HistoryFileTest, SaveIntoAMissingFolderFails) {
    CopyText(Monitor.HistoryPath, (folder_ + "\\missing\\Kelvane.dat").c_str());
    EXPECT_FALSE(SaveHistoryFile());
}

// A data folder at the path limit: the new file is written under a name as long as the
// history's own, so saving works up to the longest history path there is.
TEST_F(HistoryFileTest, SaveWorksAtThePathLimit) {
    std::string deep = folder_ + "\\";
    deep += std::string(MAX_PATH - 1 - deep.size() - 1 - 11, 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    std::string longest = deep + "\\Kelvane.dat";
    ASSERT_EQ(longest.size(), MAX_PATH - 1u);
    CopyText(Monitor.HistoryPath, longest.c_str());
    FillTraces(61, 62);

    bool saved = SaveHistoryFile();
    std::vector<unsigned char> bytes = ReadFileBytes(longest);
    DeleteFileA(longest.c_str());
    RemoveDirectoryA(deep.c_str());
    ASSERT_TRUE(saved);
    std::vector<unsigned char> expected(256, 61);
    expected.resize(512, 62);
    EXPECT_EQ(bytes, expected);
}

} // namespace
