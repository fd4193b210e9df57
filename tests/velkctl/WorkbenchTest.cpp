// velkctl's record, replay, periodic sends and JSON lines against the
// reference bus, velkctl in child processes.
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "velk/VelkApi.h"
#include "formats/RecordReader.h"
#include "protocol/MessageCode.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Workbench;

std::string TempPath(const char* name)
{
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%svelkctl-%lu-%s", directory, GetCurrentProcessId(), name);
    DeleteFileA(path);
    return path;
}

// The message lines of a recording, each without its time.
std::vector<std::string> WithoutTimes(const std::string& text)
{
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(text)) {
        if (!line.empty() && line[0] != '#')
            lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

// Polls another bus's handle list through velkctl until it lists count windows.
bool WaitForClientsOn(const std::string& bus, size_t count)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::vector<std::string> lines;
        if (RunVelkctl("--bus " + bus + " clients", &lines) == 0 && lines.size() == count)
            return true;
        Sleep(100);
    }
    return false;
}

// Enough of JSON to tell a valid object of numbers, strings (UTF-8), true and false.
class JsonCheck {
public:
    explicit JsonCheck(const std::string& text) : text_(text), at_(0) {}
    bool Valid() { return Object() && at_ == text_.size(); }

private:
    bool Eat(char c)
    {
        if (at_ >= text_.size() || text_[at_] != c)
            return false;
        ++at_;
        return true;
    }
    bool Object()
    {
        if (!Eat('{'))
            return false;
        do {
            if (!String() || !Eat(':') || !Value())
                return false;
        } while (Eat(','));
        return Eat('}');
    }
    bool Value()
    {
        if (text_.compare(at_, 4, "true") == 0 || text_.compare(at_, 5, "false") == 0) {
            at_ += text_[at_] == 't' ? 4 : 5;
            return true;
        }
        return at_ < text_.size() && text_[at_] == '"' ? String() : Number();
    }
    bool String()
    {
        if (!Eat('"'))
            return false;
        for (; at_ < text_.size() && text_[at_] != '"'; ++at_) {
            unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c < 0x20 || (c == '\\' && ++at_ >= text_.size()) || (c >= 0x80 && !Utf8Character()))
                return false;
        }
        return Eat('"');
    }
    // A character of two to four bytes at at_, left on its last byte.
    bool Utf8Character()
    {
        unsigned char lead = static_cast<unsigned char>(text_[at_]);
        size_t more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2 : lead >= 0xF0 && lead <= 0xF4 ? 3 : 0;
        for (size_t i = 0; i < more; ++i) {
            if (++at_ >= text_.size() || (static_cast<unsigned char>(text_[at_]) & 0xC0) != 0x80)
                return false;
        }
        return more != 0;
    }
    bool Number()
    {
        Eat('-');
        size_t digits = at_;
        while (at_ < text_.size() && isdigit(static_cast<unsigned char>(text_[at_])))
            ++at_;
        if (at_ == digits || (text_[digits] == '0' && at_ - digits > 1))
            return false;
        if (Eat('.')) {
            size_t fraction = at_;
            while (at_ < text_.size() && isdigit(static_cast<unsigned char>(text_[at_])))
                ++at_;
            return at_ > fraction;
        }
        return true;
    }

    const std::string& text_;
    size_t at_;
};

// RFC 4180, strictly: every record ends with CR LF, the last one too; a
// quoted field doubles its quotes; no quote, CR or LF elsewhere.
bool ReadCsv(const std::string& text, std::vector<std::vector<std::string>>* rows)
{
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        std::vector<std::string> row;
        for (;;) {
            std::string field;
            if (text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= n)
                        return false;
                    if (text[i] == '"' && (i + 1 >= n || text[i + 1] != '"'))
                        break;
                    if (text[i] == '"')
                        ++i;
                    field += text[i];
                }
                ++i;
            } else {
                for (; i < n && text[i] != ',' && text[i] != '\r'; ++i) {
                    if (text[i] == '"' || text[i] == '\n')
                        return false;
                    field += text[i];
                }
            }
            row.push_back(field);
            if (i < n && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.compare(i, 2, "\r\n") != 0)
                return false;
            i += 2;
            break;
        }
        rows->push_back(row);
    }
    return true;
}

// A flood from two senders: 2,000 arrays, one every arrayMillis, and 1,000
// values at a third of their rate.
void SendFlood(int arrayMillis)
{
    ChildProcess arrays, values;
    ASSERT_TRUE(arrays.Start("velkctl.exe", "send-arr 5 \"00 7f 80 ff\" --every " + std::to_string(arrayMillis) +
                                                "ms --count 2000"));
    ASSERT_TRUE(values.Start("velkctl.exe", "post 20000801 7 --every " + std::to_string(3 * arrayMillis) +
                                                "ms --count 1000"));
    EXPECT_EQ(0, arrays.Wait(60000));
    EXPECT_EQ(0, values.Wait(60000));
}

// The same flood recorded plain and compressed (in members of a second at
// most: it lasts several) exports the same rows.
TEST_F(Workbench, AFloodRecordedCompressedReadsBackAsThePlainRecording)
{
    const std::string plain = TempPath("flood.txt");
    const std::string packed = TempPath("flood.txt.gz");
    ChildProcess plainRecorder, packedRecorder;
    ASSERT_TRUE(plainRecorder.Start("velkctl.exe", "record \"" + plain + "\" --count 3000 --duration 60s"));
    ASSERT_TRUE(packedRecorder.Start("velkctl.exe", "record \"" + packed + "\" --count 3000 --duration 60s"));
    ASSERT_TRUE(WaitForClients(2));
    SendFlood(1);
    ASSERT_EQ(0, plainRecorder.Wait(30000));
    ASSERT_EQ(0, packedRecorder.Wait(30000));
    ASSERT_FALSE(packedRecorder.Lines().empty());
    EXPECT_NE(std::string::npos, packedRecorder.Lines()[0].find("recorded 3000 messages")) << packedRecorder.Lines()[0];

    const std::string packedBytes = ReadFileText(packed);
    ASSERT_EQ(0, packedBytes.compare(0, 2, "\x1f\x8b"));
    EXPECT_LT(packedBytes.size() * 3, ReadFileText(plain).size());
    std::vector<std::vector<std::string>> rows[2];
    for (int i = 0; i < 2; ++i) {
        const std::string csv = TempPath(i == 0 ? "flood.csv" : "flood-gz.csv");
        std::vector<std::string> said;
        EXPECT_EQ(0, RunVelkctl("export \"" + (i == 0 ? plain : packed) + "\" --out \"" + csv + "\"", &said));
        EXPECT_EQ(1u, said.size());
        ASSERT_TRUE(ReadCsv(ReadFileText(csv).substr(3), &rows[i]));
        for (std::vector<std::string>& row : rows[i])
            row.erase(row.begin(), row.begin() + 2);   // the times: the recorders started apart
    }
    // Two senders: each recorder may see them interleaved its own way.
    EXPECT_EQ(3001u, rows[1].size());
    std::sort(rows[0].begin(), rows[0].end());
    std::sort(rows[1].begin(), rows[1].end());
    EXPECT_TRUE(rows[0] == rows[1]);
}

// The same flood recorded whole and in parts of a second (it lasts several):
// the parts hold each message once, in order, each part a recording of its
// own; with --keep 2 only the newest two parts are left.
TEST_F(Workbench, AFloodRecordedInPartsHoldsEachMessageOnce)
{
    const std::string plain = TempPath("whole.txt");
    const std::string split = TempPath("part.txt");
    const std::string kept = TempPath("kept.txt.gz");
    auto part = [](const std::string& path, const char* extension, unsigned number) {
        char suffix[32];
        snprintf(suffix, sizeof suffix, "-%04u%s", number, extension);
        return path.substr(0, path.size() - strlen(extension)) + suffix;
    };
    for (unsigned number = 1; number <= 30; ++number) {
        DeleteFileA(part(split, ".txt", number).c_str());
        DeleteFileA(part(kept, ".txt.gz", number).c_str());
    }
    // A part an earlier run in the same name left: deleted and said, never read as this run's.
    const std::string stale = part(split, ".txt", 29);
    FILE* staleFile = fopen(stale.c_str(), "wb");
    ASSERT_NE(nullptr, staleFile);
    fputs("# velk record 1\n# start 2026-01-01T00:00:00.000+08:00\n"
                         "# part 29, 1.000000 s into the series started 2026-01-01T00:00:00.000+08:00\n"
                         "0.000000 20000801 V 99\n", staleFile);
    fclose(staleFile);
    ChildProcess plainRecorder, splitRecorder, keptRecorder;
    const std::string bounds = " --count 3000 --duration 60s";
    ASSERT_TRUE(plainRecorder.Start("velkctl.exe", "record \"" + plain + "\"" + bounds));
    ASSERT_TRUE(splitRecorder.Start("velkctl.exe", "record \"" + split + "\" --split 1s" + bounds));
    ASSERT_TRUE(keptRecorder.Start("velkctl.exe", "record \"" + kept + "\" --split 1s --keep 2" + bounds));
    ASSERT_TRUE(WaitForClients(3));
    SendFlood(2);
    ASSERT_EQ(0, plainRecorder.Wait(30000));
    ASSERT_EQ(0, splitRecorder.Wait(30000));
    ASSERT_EQ(0, keptRecorder.Wait(30000));

    // The recorders may see the two senders interleaved each its own way.
    std::vector<std::string> whole = WithoutTimes(ReadFileText(plain));
    std::vector<std::string> joined;
    unsigned parts = 0;
    for (unsigned number = 1; GetFileAttributesA(part(split, ".txt", number).c_str()) != INVALID_FILE_ATTRIBUTES;
         ++number) {
        const std::string text = ReadFileText(part(split, ".txt", number));
        const std::vector<std::string> lines = SplitLines(text);
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ("# velk record 1", lines[0]);
        EXPECT_EQ(0u, lines[1].find("# start "));
        EXPECT_EQ(0u, lines[2].find("# part " + std::to_string(number) + ", ")) << lines[2];
        if (number > 1) {
            EXPECT_EQ(0u, lines[3].find("0.000000 ")) << "a part's time starts at its first message";
        }
        const std::vector<std::string> held = WithoutTimes(text);
        joined.insert(joined.end(), held.begin(), held.end());
        parts = number;
    }
    EXPECT_GE(parts, 3u);
    const std::vector<std::string> splitSaid = splitRecorder.Lines();
    ASSERT_EQ(2u, splitSaid.size());
    EXPECT_NE(std::string::npos, splitSaid[0].find("deleted 1 part an earlier recording in this name left, "))
        << splitSaid[0];
    EXPECT_NE(std::string::npos, splitSaid[0].find("part-0029.txt")) << splitSaid[0];
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(stale.c_str()));
    EXPECT_NE(std::string::npos, splitSaid[1].find("recorded 3000 messages to " + std::to_string(parts) + " parts"))
        << splitSaid[1];
    EXPECT_EQ(3000u, joined.size());
    std::sort(whole.begin(), whole.end());
    std::sort(joined.begin(), joined.end());
    EXPECT_TRUE(whole == joined);

    std::vector<unsigned> left;
    for (unsigned number = 1; number <= 30; ++number) {
        if (GetFileAttributesA(part(kept, ".txt.gz", number).c_str()) != INVALID_FILE_ATTRIBUTES)
            left.push_back(number);
    }
    ASSERT_EQ(2u, left.size());
    const unsigned last = left[1];
    EXPECT_EQ(last - 1, left[0]);
    ASSERT_GE(last, 3u);
    const std::vector<std::string> said = keptRecorder.Lines();
    ASSERT_GE(said.size(), 2u);
    EXPECT_NE(std::string::npos, said[1].find("--keep deleted the oldest " + std::to_string(last - 2) + " part"))
        << said[1];
    // A kept part is a compressed recording of its own.
    std::vector<std::string> exported;
    EXPECT_EQ(0, RunVelkctl("export \"" + part(kept, ".txt.gz", last) + "\" --out \"" + TempPath("kept.csv") + "\"",
                            &exported));

    // The series exports as the whole recording does, named by its first
    // part, by the name record was given or by a glob: one time axis, in order.
    std::vector<std::vector<std::string>> wholeRows;
    const std::string wholeCsv = TempPath("whole.csv"), seriesCsv = TempPath("series.csv");
    const std::string keptCsv = TempPath("kept.txt.csv");   // TempPath deletes what is there
    ASSERT_EQ(0, RunVelkctl("export \"" + plain + "\" --out \"" + wholeCsv + "\""));
    ASSERT_TRUE(ReadCsv(ReadFileText(wholeCsv).substr(3), &wholeRows));
    for (std::vector<std::string>& row : wholeRows)
        row.erase(row.begin(), row.begin() + 2);
    std::sort(wholeRows.begin(), wholeRows.end());
    const std::string glob = split.substr(0, split.size() - 4) + "-*.txt";
    std::vector<double> seconds;
    for (const std::string& named : { part(split, ".txt", 1), split, glob }) {
        std::vector<std::vector<std::string>> rows;
        std::vector<std::string> said;
        ASSERT_EQ(0, RunVelkctl("export \"" + named + "\" --out \"" + seriesCsv + "\"", &said)) << named;
        ASSERT_TRUE(ReadCsv(ReadFileText(seriesCsv).substr(3), &rows));
        ASSERT_EQ(3001u, rows.size()) << named;
        seconds.clear();
        for (size_t i = 1; i < rows.size(); ++i)
            seconds.push_back(atof(rows[i][1].c_str()));
        for (size_t i = 1; i < seconds.size(); ++i)
            ASSERT_LE(seconds[i - 1], seconds[i]) << named << " row " << i;
        for (std::vector<std::string>& row : rows)
            row.erase(row.begin(), row.begin() + 2);
        std::sort(rows.begin(), rows.end());
        EXPECT_TRUE(rows == wholeRows) << named;
    }
    // --from and --to: a stretch out of the middle, on the series' axis, both ends inside.
    const long long fromMs = static_cast<long long>(seconds[1000] * 1000), toMs = static_cast<long long>(seconds[2000] * 1000) + 1;
    const size_t inside = static_cast<size_t>(std::count_if(seconds.begin(), seconds.end(), [&](double at) {
        return at * 1000 >= fromMs - 1e-6 && at * 1000 <= toMs + 1e-6;
    }));
    std::vector<std::vector<std::string>> stretch;
    ASSERT_EQ(0, RunVelkctl("export \"" + split + "\" --out \"" + seriesCsv + "\" --from " + std::to_string(fromMs) +
                            "ms --to " + std::to_string(toMs) + "ms"));
    ASSERT_TRUE(ReadCsv(ReadFileText(seriesCsv).substr(3), &stretch));
    EXPECT_EQ(inside + 1, stretch.size());
    EXPECT_GE(inside, 1001u);

    // The kept series, its oldest parts gone: what its two parts hold, the CSV beside it named for the series.
    std::vector<std::string> keptSaid;
    EXPECT_EQ(0, RunVelkctl("export \"" + kept + "\"", &keptSaid));
    ASSERT_EQ(1u, keptSaid.size());
    EXPECT_NE(std::string::npos, keptSaid[0].find("kept.txt.csv")) << keptSaid[0];
    std::vector<std::vector<std::string>> keptRows;
    ASSERT_TRUE(ReadCsv(ReadFileText(keptCsv).substr(3), &keptRows));
    const size_t keptMessages = ParseRecordText(ReadFileText(part(kept, ".txt.gz", last - 1))).messages.size() +
                                ParseRecordText(ReadFileText(part(kept, ".txt.gz", last))).messages.size();
    EXPECT_EQ(keptMessages + 1, keptRows.size());
    keptSaid.clear();
    EXPECT_EQ(5, RunVelkctl("export \"" + TempPath("none-*.txt") + "\"", &keptSaid));
    ASSERT_EQ(1u, keptSaid.size());
    EXPECT_NE(std::string::npos, keptSaid[0].find("no file matches")) << keptSaid[0];
}

// A compressed recording on a quiet bus: each message is in whole members
// in the file a second after it came, not at some later wake.
TEST_F(Workbench, ACompressedMemberEndsASecondAfterItsFirstMessage)
{
    const std::string packed = TempPath("quiet.txt.gz");
    ChildProcess recorder;
    ASSERT_TRUE(recorder.Start("velkctl.exe", "record \"" + packed + "\" --duration 60s"));
    ASSERT_TRUE(WaitForClients(1));
    for (size_t n = 1; n <= 3; ++n) {
        ASSERT_EQ(0, RunVelkctl("post 20000801 " + std::to_string(n)));
        Sleep(1300);
        const RecordParse read = ParseRecordText(ReadFileText(packed));
        EXPECT_EQ(n, read.messages.size()) << "1.3 s after message " << n;
        Sleep(n * 300);   // each message at another point of the recorder's second
    }
    recorder.Kill();
}

// A part that cannot be deleted is said and left; one that cannot be made
// ends the recording with its name, the parts before it whole.
TEST_F(Workbench, APartThatCannotBeDeletedOrMadeIsNamedAndNothingWrittenIsLost)
{
    const std::string series = TempPath("fault.txt");
    const std::string first = series.substr(0, series.size() - 4) + "-0001.txt";
    const std::string second = series.substr(0, series.size() - 4) + "-0002.txt";
    const std::string third = series.substr(0, series.size() - 4) + "-0003.txt";
    DeleteFileA(first.c_str());
    DeleteFileA(second.c_str());
    RemoveDirectoryA(third.c_str());
    ASSERT_TRUE(CreateDirectoryA(third.c_str(), NULL));
    // Open, shared for writing but not for deleting: the recorder writes it, --keep cannot delete it.
    HANDLE held = CreateFileA(first.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ChildProcess recorder;
    ASSERT_TRUE(recorder.Start("velkctl.exe", "record \"" + series + "\" --split 1s --keep 1 --duration 60s"));
    ASSERT_TRUE(WaitForClients(1));
    std::vector<std::string> said;
    EXPECT_EQ(0, RunVelkctl("post 20000801 7 --every 10ms --count 400", &said));
    const int code = recorder.Wait(30000);
    CloseHandle(held);
    RemoveDirectoryA(third.c_str());
    EXPECT_EQ(5, code);

    const size_t inFiles = WithoutTimes(ReadFileText(first)).size() + WithoutTimes(ReadFileText(second)).size();
    const std::vector<std::string> lines = recorder.Lines();
    ASSERT_GE(lines.size(), 3u);
    auto says = [&](const std::string& text, const std::string& name) {
        for (const std::string& line : lines)
            if (line.find(text) != std::string::npos && line.find(name.substr(name.rfind('\\') + 1)) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(says("warning: cannot delete", first));
    EXPECT_TRUE(says("recorded " + std::to_string(inFiles) + " messages to 2 parts", second));
    EXPECT_TRUE(says("cannot create", third));
    EXPECT_TRUE(says("received not written, the recording stopped", third));
    EXPECT_GT(inFiles, 0u);
}

TEST_F(Workbench, MixedStreamRecordedAndReplayedIntoAnotherBusGivesTheSameFile)
{
    const std::string first = TempPath("first.txt");
    const std::string second = TempPath("second.txt");
    const std::string otherBus = "velktest-other-" + std::to_string(GetCurrentProcessId());
    std::string everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte += static_cast<char>(i);

    ChildProcess recorder;
    ASSERT_TRUE(recorder.Start("velkctl.exe", "record \"" + first + "\" --count 64 --duration 60s"));
    ASSERT_TRUE(WaitForClients(1));
    ChildProcess arrays, strings;
    ASSERT_TRUE(arrays.Start("velkctl.exe", "send-arr 5 \"00 7f 80 ff\" --every 1ms --count 30"));
    ASSERT_TRUE(strings.Start("velkctl.exe", "send-str 2 \"a\\tb\" --every 1ms --count 30"));
    EXPECT_GE(vPostData(window_, 0x20000801, static_cast<LPARAM>(INT32_MIN), 4), 1);
    EXPECT_GE(vPostData(window_, 0x10000800, 0x7FFFFFFF, 4), 1);
    EXPECT_GE(vPostData(window_, 0x30000207, reinterpret_cast<LPARAM>(everyByte.data()), 256), 1);
    EXPECT_GE(vPostData(window_, 0x30000407, reinterpret_cast<LPARAM>(""), 0), 1);
    EXPECT_EQ(0, arrays.Wait(30000));
    EXPECT_EQ(0, strings.Wait(30000));
    ASSERT_EQ(0, recorder.Wait(30000));
    std::vector<std::string> summary = recorder.Lines();
    ASSERT_FALSE(summary.empty());
    EXPECT_NE(std::string::npos, summary[0].find("recorded 64 messages")) << summary[0];
    EXPECT_NE(std::string::npos, summary[0].find("dropped +0, expired +0")) << summary[0];

    std::vector<std::string> recorded = WithoutTimes(ReadFileText(first));
    ASSERT_EQ(64u, recorded.size());
    auto has = [&](const std::string& line) {
        return std::count(recorded.begin(), recorded.end(), line);
    };
    EXPECT_EQ(30, has("30000405 A 007f80ff"));
    EXPECT_EQ(30, has("30000202 S 610962"));
    EXPECT_EQ(1, has("20000801 V -2147483648"));
    EXPECT_EQ(1, has("10000800 V 2147483647"));
    EXPECT_EQ(1, has("30000407 A -"));
    std::string allBytes = "30000207 S ";
    for (int i = 0; i < 256; ++i) {
        char hex[3];
        snprintf(hex, sizeof hex, "%02x", i);
        allBytes += hex;
    }
    EXPECT_EQ(1, has(allBytes));

    ChildProcess secondRecorder;
    ASSERT_TRUE(secondRecorder.Start("velkctl.exe", "--bus " + otherBus + " record \"" + second + "\" --count 64"));
    ASSERT_TRUE(WaitForClientsOn(otherBus, 1));
    std::vector<std::string> replayed;
    EXPECT_EQ(0, RunVelkctl("--bus " + otherBus + " replay \"" + first + "\" --speed 0", &replayed));
    // The recorder may leave the bus as soon as it has its 64, so a note that
    // velkctl was alone on the bus can follow the summary.
    EXPECT_EQ(1, std::count_if(replayed.begin(), replayed.end(), [](const std::string& line) {
                  return line.find("posted 64 messages") != std::string::npos;
              }));
    ASSERT_EQ(0, secondRecorder.Wait(30000));
    EXPECT_EQ(recorded, WithoutTimes(ReadFileText(second)));
    EXPECT_EQ(64u, Counters()["posted"]);   // nothing of the replay reached this bus

    // The payloads of the recording as CSV, as a strict reader reads it.
    const std::string csv = TempPath("first.csv");
    std::vector<std::string> exported;
    EXPECT_EQ(0, RunVelkctl("export \"" + first + "\" --out \"" + csv + "\" --type ARR --type str", &exported));
    EXPECT_EQ(std::vector<std::string>{ "velkctl: exported 62 messages (2 filtered out) to '" + csv + "'" }, exported);
    std::string text = ReadFileText(csv);
    ASSERT_EQ(0, text.compare(0, 3, "\xEF\xBB\xBF"));
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(ReadCsv(text.substr(3), &rows));
    ASSERT_EQ(63u, rows.size());
    EXPECT_EQ(0u, rows[0][0].find("time (UTC")) << rows[0][0];
    const std::vector<std::string> names = { "seconds", "code", "direction", "type", "channel", "kind",
                                             "value", "text", "bytes", "length" };
    EXPECT_EQ(names, std::vector<std::string>(rows[0].begin() + 1, rows[0].end()));
    std::map<std::string, int> codes;
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string>& row = rows[i];
        ASSERT_EQ(11u, row.size()) << i;
        ++codes[row[2]];
        int year = 0;
        EXPECT_EQ(1, sscanf(row[0].c_str(), "%d-", &year)) << row[0];   // the start's local time, moved on
        EXPECT_EQ("Read Value+Write Value", row[3]);
        if (row[2] == "0x30000202") {
            EXPECT_EQ((std::vector<std::string>{ "STR", "2", "string", "", "a\\tb", "0x610962", "3" }),
                      std::vector<std::string>(row.begin() + 4, row.end()));
        } else if (row[2] == "0x30000207") {
            EXPECT_EQ("0x" + allBytes.substr(sizeof "30000207 S " - 1), row[9]);   // every byte, exact
            EXPECT_EQ(0u, row[8].find("\\x00\\x01")) << row[8];
            EXPECT_NE(std::string::npos, row[8].find(" !\"#$%&'()*+,-./0123456789")) << row[8];
        } else if (row[2] == "0x30000407") {
            EXPECT_EQ("", row[9]);
            EXPECT_EQ("0", row[10]);
        }
    }
    EXPECT_EQ((std::map<std::string, int>{ { "0x30000202", 30 }, { "0x30000207", 1 }, { "0x30000405", 30 },
                                           { "0x30000407", 1 } }),
              codes);
    DeleteFileA(first.c_str());
    DeleteFileA(second.c_str());
    DeleteFileA(csv.c_str());
}

TEST_F(Workbench, PeriodicPostSendsExactlyTheCount)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, 0x800, "periodic"));
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("post 0x20000801 7 --every 20ms --count 25", &lines));
    std::vector<BusMessage> received = Receive(window_, 26, 1000);
    EXPECT_EQ(25u, received.size());
    EXPECT_EQ(25u, Counters()["posted"]);
    // Deadlines count from the first send: the 25th comes 24 periods later, never sooner.
    double seconds = 0;
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(1, sscanf(lines.back().c_str(), "velkctl: sent 25 messages in %lf s", &seconds)) << lines.back();
    EXPECT_GE(seconds, 0.48);
}

TEST_F(Workbench, BadRecordingsAndFilesPostNothing)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, 0x0080FF00, "watcher"));
    const std::string malformed = TempPath("malformed.txt");
    FILE* file = fopen(malformed.c_str(), "wb");
    ASSERT_TRUE(file != NULL);
    fputs("# velk record 1\n0.000000 20000801 V 1\n0.001000 30000201 S 4\n0.002000 20000801 V 2\n", file);
    fclose(file);
    std::vector<std::string> lines;
    EXPECT_EQ(2, RunVelkctl("replay \"" + malformed + "\"", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(malformed + ":3: payload has an odd number of hex digits", lines[0]);
    // No CSV of a bad recording: one there before stays as it was, nothing half made beside it.
    const std::string csv = TempPath("malformed.csv");
    file = fopen(csv.c_str(), "wb");
    ASSERT_TRUE(file != NULL);
    fputs("before", file);
    fclose(file);
    EXPECT_EQ(2, RunVelkctl("export \"" + malformed + "\" --out \"" + csv + "\"", &lines));
    EXPECT_EQ(std::vector<std::string>{ malformed + ":3: payload has an odd number of hex digits" }, lines);
    EXPECT_EQ("before", ReadFileText(csv));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((csv + ".part").c_str()));
    DeleteFileA(csv.c_str());

    EXPECT_EQ(5, RunVelkctl("replay \"" + TempPath("missing.txt") + "\"", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find("cannot open")) << lines[0];
    EXPECT_EQ(5, RunVelkctl("record \"" + TempPath("no-such-folder\\x.txt") + "\" --count 1", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find("cannot create")) << lines[0];
    EXPECT_EQ(2, RunVelkctl("post 0x20000801 1 --every 20x --count 2", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find("bad --every '20x'")) << lines[0];
    EXPECT_EQ(2, RunVelkctl("replay \"" + malformed + "\" --speed -1", &lines));
    // What is no recording is refused at its first line, not read to its end.
    EXPECT_EQ(2, RunVelkctl("replay Z:\\dev\\zero", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Z:\\dev\\zero:1: not a velk recording: the first line must be '# velk record 1'", lines[0]);

    EXPECT_EQ(0u, Counters()["posted"]);
    EXPECT_TRUE(Receive(window_, 1, 200).empty());
    EXPECT_EQ(1u, ClientLines().size());   // only the watcher: nothing else registered
    DeleteFileA(malformed.c_str());
}

TEST_F(Workbench, ACutShortRecordingReplaysItsWholeLinesOnly)
{
    // The recorder was killed inside the last line: 3 of 11 bytes, which parse.
    ASSERT_EQ(kVelkOk, vRegister(window_, 0x0080FF00, "watcher"));
    const std::string cut = WriteTempFile("# velk record 1\n0.000000 20000801 V 7\n"
                                          "0.001000 30000201 S 68656c6c6f09776f726c64\n0.002000 30000201 S 68656c");
    ASSERT_FALSE(cut.empty());
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("replay \"" + cut + "\" --speed 0", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(cut + ":4: last line is incomplete (recording cut short?), skipped", lines[0]);

    // The same from standard input, which is read twice through a copy.
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
    HANDLE input = CreateFileA(cut.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, input);
    HANDLE ownInput = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, input);
    EXPECT_EQ(0, RunVelkctl("replay - --speed 0 --loop 2", &lines));
    SetStdHandle(STD_INPUT_HANDLE, ownInput);
    CloseHandle(input);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("standard input:4: last line is incomplete (recording cut short?), skipped", lines[0]);

    std::vector<BusMessage> received = Receive(window_, 7, 2000);
    ASSERT_EQ(6u, received.size());
    for (size_t i = 0; i < received.size(); i += 2) {
        EXPECT_EQ(7, static_cast<int>(received[i].dataWord));
        int length = 0;
        const char* text = vGetp(received[i + 1].dataWord, &length);
        ASSERT_EQ(11, length);
        EXPECT_EQ(0, memcmp("hello\tworld", text, 11));
    }
    DeleteFileA(cut.c_str());
}

TEST_F(Workbench, FilteredMonitorShowsOnlyWhatPassesAndCountsTheRest)
{
    // Code 20001001 or any array code, on channel 1 or 2; no MASK: the
    // subscription is the type bits those codes have, ADC and Array.
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor --code 20001001 --code 30000400/FFFFFF00 --channel 1 "
                                             "--channel 2 --count 3 --timeout 30"));
    ASSERT_TRUE(WaitForClients(1));
    std::vector<std::string> clients = ClientLines();
    ASSERT_EQ(1u, clients.size());
    EXPECT_NE(std::string::npos, clients[0].find(" 1400 velkctl ")) << clients[0];

    ASSERT_EQ(kVelkOk, vRegister(window_, 0x0080FF00, "sender"));
    const unsigned char bytes[] = { 0xDE, 0xAD };
    const uint32_t codes[] = {
        0x20001001,   // shown
        0x20001002,   // another channel of the code
        0x30000403,   // an array on channel 3
        0x30000201,   // a string: not subscribed
        0x20000801,   // Depth: not subscribed
        0x30000401,   // shown
        0x20001003,
        0x30000402,   // shown, the third: the end
    };
    for (uint32_t code : codes) {
        bool value = ClassifyCode(code) == kValueMessage;
        LPARAM data = value ? 7 : reinterpret_cast<LPARAM>(bytes);
        EXPECT_EQ((code & 0x1400) != 0 ? 2 : 1, vPostData(window_, code, data, value ? 4 : 2)) << code;
    }
    ASSERT_EQ(0, monitor.Wait(30000));
    std::vector<std::string> lines = monitor.Lines();
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("20001001      7", WithoutDelta(lines[0]));
    EXPECT_EQ("30000401(  2)  DE AD", WithoutDelta(lines[1]));
    EXPECT_EQ("30000402(  2)  DE AD", WithoutDelta(lines[2]));
    EXPECT_EQ("velkctl: monitor: 3 messages shown, 3 filtered out", lines[3]);
}

TEST_F(Workbench, MonitorJsonLinesAreValidJsonWhateverTheBytes)
{
    const std::string out = TempPath("monitor.jsonl");
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor 0x0080FF00 --jsonl --time abs --out \"" + out +
                                             "\" --count 4 --timeout 30"));
    ASSERT_TRUE(WaitForClients(1));
    const char text[] = "\"quoted\\\"\x01\x7F\xFF\xC3";
    const char gbk[] = "\xCE\xC2\xB6\xC8\t25";   // 温度, a tab, 25 in the system code page 936
    const unsigned char bytes[] = { 0x00, 0x22, 0x5C, 0xFF };
    EXPECT_EQ(1, vPostData(window_, 0x20000801, -5, 4));
    EXPECT_EQ(1, vPostData(window_, 0x30000201, reinterpret_cast<LPARAM>(text), sizeof text - 1));
    EXPECT_EQ(1, vPostData(window_, 0x30000202, reinterpret_cast<LPARAM>(gbk), sizeof gbk - 1));
    EXPECT_EQ(1, vPostData(window_, 0x30000402, reinterpret_cast<LPARAM>(bytes), sizeof bytes));
    ASSERT_EQ(0, monitor.Wait(30000));
    std::vector<std::string> lines = SplitLines(ReadFileText(out));
    ASSERT_EQ(4u, lines.size());
    for (const std::string& line : lines)
        EXPECT_TRUE(JsonCheck(line).Valid()) << line;
    EXPECT_NE(std::string::npos, lines[0].find("\"code\":\"20000801\",\"kind\":\"value\",\"value\":-5}")) << lines[0];
    // Control characters and bytes that are no GBK character escaped, the bytes exact beside them.
    EXPECT_NE(std::string::npos, lines[1].find("\"length\":13,\"bytes\":\"2271756f7465645c2201""7fffc3\","
                                               "\"text\":\"\\\"quoted\\\\\\\"\\\\x01\\\\x7f\\\\xff\\\\xc3\"}"))
        << lines[1];
    EXPECT_NE(std::string::npos, lines[2].find("\"text\":\"\xE6\xB8\xA9\xE5\xBA\xA6\\\\t25\"}")) << lines[2];
    EXPECT_NE(std::string::npos, lines[3].find("\"kind\":\"array\",\"length\":4,\"bytes\":\"00225cff\"}")) << lines[3];
    // Local time with the offset this process sees, first in each line.
    TIME_ZONE_INFORMATION zone;
    DWORD daylight = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias + (daylight == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
    char offset[8];
    snprintf(offset, sizeof offset, "%c%02ld:%02ld", bias > 0 ? '-' : '+', labs(bias) / 60, labs(bias) % 60);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millis = 0;
    char zoneText[8] = "";
    ASSERT_EQ(8, sscanf(lines[0].c_str(), "{\"time\":\"%4d-%2d-%2dT%2d:%2d:%2d.%3d%6[-+:0-9]\",\"t\":", &year, &month,
                        &day, &hour, &minute, &second, &millis, zoneText)) << lines[0];
    EXPECT_STREQ(offset, zoneText);
    EXPECT_GE(year, 2024);
    EXPECT_FALSE(JsonCheck("{\"bytes\":\"\x01\"}").Valid());   // the check itself tells bad from good
    DeleteFileA(out.c_str());
}

TEST_F(Workbench, StatsReportsEachIntervalWithItsMessagesAndMeasuredLength)
{
    ChildProcess stats;
    ASSERT_TRUE(stats.Start("velkctl.exe", "stats --interval 3s --count 2"));
    ASSERT_TRUE(WaitForClients(1));
    ASSERT_EQ(kVelkOk, vRegister(window_, 0, "sender"));
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(1, vPostData(window_, i < 25 ? 0x20001001 : 0x20001002, i, 4));
    ASSERT_EQ(0, stats.Wait(30000));

    std::vector<std::string> lines = stats.Lines();
    ASSERT_EQ(6u, lines.size());
    unsigned interval = 0, messages = 0, codes = 0;
    double seconds = 0, rate = 0;
    ASSERT_EQ(5, sscanf(lines[0].c_str(), "interval %u: %u messages in %lf s, %lf msg/s, %u codes", &interval,
                        &messages, &seconds, &rate, &codes)) << lines[0];
    EXPECT_EQ(1u, interval);
    EXPECT_EQ(30u, messages);
    EXPECT_EQ(2u, codes);
    EXPECT_GT(seconds, 2.95);           // measured on the clock: the timer may fire a tick early
    EXPECT_LT(seconds, 4.5);
    EXPECT_NEAR(30 / seconds, rate, 0.051);
    EXPECT_EQ(0u, lines[1].find("  20001001         25 ")) << lines[1];
    EXPECT_EQ(0u, lines[2].find("  20001002          5 ")) << lines[2];
    EXPECT_EQ("  bus: posted +30, delivered +30, dropped +0, expired +0, abandoned +0", lines[3]);
    ASSERT_EQ(5, sscanf(lines[4].c_str(), "interval %u: %u messages in %lf s, %lf msg/s, %u codes", &interval,
                        &messages, &seconds, &rate, &codes)) << lines[4];
    EXPECT_EQ(2u, interval);
    EXPECT_EQ(0u, messages);
    EXPECT_GT(seconds, 2.95);
    EXPECT_LT(seconds, 4.5);
}

} // namespace
