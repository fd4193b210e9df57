// Send, Send Str, Send Arr and StopAll with the recording library: what each
// logs, what reaches vPostData, and that the line is written before the post.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/ConsoleLog.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

namespace {

// The log view's newest line at the moment of each vPostData.
struct LinesAtPost {
    ConsoleSession* console;
    std::vector<std::string> lines;
};

void __cdecl RememberLastLine(void* context)
{
    LinesAtPost* seen = static_cast<LinesAtPost*>(context);
    // vPostData runs on the GUI thread: the dialog can be read directly.
    const LineRing& ring = seen->console->DialogObject()->m_logView.Ring();
    seen->lines.push_back(ring.Row((ring.WriteIndex() + kLogRows - 1) % kLogRows));
}

class SendTest : public testing::Test {
protected:
    void SetUp() override
    {
        dlg_ = console_.WaitForDialog();
        ASSERT_NE(dlg_, nullptr);
        seen_.console = &console_;
        SetFakePostHook(RememberLastLine, &seen_);
    }
    void TearDown() override { SetFakePostHook(nullptr, nullptr); }

    void Fields(const wchar_t* dir, const wchar_t* type, const wchar_t* channel, const wchar_t* value)
    {
        console_.SetText(IDC_DIR, dir);
        console_.SetText(IDC_TYPE, type);
        console_.SetText(IDC_CHANNEL, channel);
        console_.SetText(IDC_VALUE, value);
    }

    // Clicks the button and returns the posts it made; the hook's record starts afresh.
    std::vector<FakeCall> Press(int id)
    {
        bus_.ClearCalls();
        seen_.lines.clear();
        console_.Click(id);
        return bus_.CallsTo("vPostData");
    }

    // Waits for the framework's range prompt for the channel and answers it.
    void AnswerRangePrompt()
    {
        MessageBoxInfo box = console_.WaitForMessageBox();
        ASSERT_NE(box.window, nullptr) << "no range prompt";
        EXPECT_NE(box.text.find(L"255"), std::wstring::npos) << "not the range prompt";
        console_.DismissMessageBox(box.window);
        console_.RunOnGui([] {});   // the handler has gone on and returned
    }

    std::string FieldText() { return console_.OnGui([&] { return console_.DialogObject()->m_strText.str(); }); }
    unsigned long long OwnWindow() const { return reinterpret_cast<unsigned long long>(dlg_); }

    FakeBus bus_;
    ConsoleSession console_;
    HWND dlg_ = nullptr;
    LinesAtPost seen_;
};

} // namespace

TEST_F(SendTest, SendLogsThenPostsTheComposedCodeWithTheValue)
{
    struct Case {
        const wchar_t* dir; const wchar_t* type; const wchar_t* channel; const wchar_t* value;
        const char* line; unsigned code; UINT dataWord;
    };
    const Case cases[] = {
        { L"Write Value", L"Depth", L"1", L"255", "20000801      ff", 0x20000801u, 255 },
        // Write Para is no value direction, so an Array type is a plain value.
        { L"Write Para", L"Array", L"7", L"4294967295", "80000407      ffffffff", 0x80000407u, 0xFFFFFFFFu },
        // Words are matched exactly: no direction bit, no type bit.
        { L"read value", L"Sideways", L"255", L"1", "ff      1", 0xFFu, 1 },
    };
    for (const Case& c : cases) {
        Fields(c.dir, c.type, c.channel, c.value);
        std::vector<FakeCall> posts = Press(IDC_SEND);
        EXPECT_EQ(LastLogLine(console_), c.line);
        ASSERT_EQ(posts.size(), 1u) << c.line;
        EXPECT_EQ(posts[0].word, c.code) << c.line;
        // The value is the data word itself, as wide as a pointer.
        EXPECT_EQ(posts[0].dataWord, static_cast<long long>(static_cast<LPARAM>(c.dataWord))) << c.line;
        EXPECT_EQ(posts[0].number, 4) << c.line;
        EXPECT_EQ(posts[0].window, OwnWindow());
        EXPECT_EQ(seen_.lines, std::vector<std::string>{ c.line }) << "not logged before the post";
    }
}

TEST_F(SendTest, SendRefusesAValueThatWouldReadAsAPayload)
{
    const wchar_t* const refused[][2] = {
        { L"Read Value", L"Array" }, { L"Write Value", L"String" },
    };
    for (const auto& fields : refused) {
        Fields(fields[0], fields[1], L"4", L"9");
        uint32_t before = LoggedLineCount(console_);
        bus_.ClearCalls();
        console_.Click(IDC_SEND);

        MessageBoxInfo box = console_.WaitForMessageBox();
        ASSERT_NE(box.window, nullptr) << "no refusal for " << fields[1];
        EXPECT_EQ(box.text, L"请使用下面的参数发送!");
        EXPECT_EQ(box.caption, L"corvane_gui_tests");
        console_.DismissMessageBox(box.window);

        EXPECT_EQ(LoggedLineCount(console_), before) << "refused, yet logged";
        EXPECT_TRUE(bus_.CallsTo("vPostData").empty()) << "refused, yet posted";
    }
}

TEST_F(SendTest, AfterAChannelOutOfRangeTheSendsGoOnWithThePreviousFields)
{
    // A good exchange first: these are the fields the failed ones keep.
    Fields(L"Write Value", L"Depth", L"1", L"255");
    console_.SetText(IDC_STRING, L"q\\tz");
    Press(IDC_SEND);
    std::vector<FakeCall> posts = Press(IDC_SEND_STR);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(PostedBytes(posts[0]), "q\tz");

    // Everything after the channel is typed anew, but the exchange stops at the channel.
    Fields(L"Read Para", L"Timer", L"300", L"9");
    console_.SetText(IDC_STRING, L"other");
    console_.SetText(IDC_ARRAY, L"aa bb");

    bus_.ClearCalls();
    console_.Click(IDC_SEND);
    AnswerRangePrompt();
    posts = bus_.CallsTo("vPostData");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].word, 0x2000092Cu) << "the channel is ORed in unmasked";
    EXPECT_EQ(posts[0].dataWord, 255);
    EXPECT_EQ(LastLogLine(console_), "2000092c      ff");
    EXPECT_EQ(console_.OnGui([&] { return console_.DialogObject()->m_nChannel; }), 300u);

    // Send Str sends the field as the last Send Str left it: already unescaped.
    bus_.ClearCalls();
    console_.Click(IDC_SEND_STR);
    AnswerRangePrompt();
    posts = bus_.CallsTo("vPostData");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].word, 0x3000032Cu);
    EXPECT_EQ(posts[0].number, 3);
    EXPECT_EQ(PostedBytes(posts[0]), "q\tz");
    EXPECT_EQ(LastLogLine(console_), "3000032c(  3) q\tz");

    // Send Arr parses the previous array text.
    bus_.ClearCalls();
    console_.Click(IDC_SEND_ARR);
    AnswerRangePrompt();
    posts = bus_.CallsTo("vPostData");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].word, 0x3000052Cu);
    EXPECT_EQ(posts[0].number, 11);

    // 512 puts the String bit into a Write Value code: refused after the prompt.
    console_.SetText(IDC_CHANNEL, L"512");
    uint32_t before = LoggedLineCount(console_);
    bus_.ClearCalls();
    console_.Click(IDC_SEND);
    AnswerRangePrompt();
    MessageBoxInfo refusal = console_.WaitForMessageBox();
    ASSERT_NE(refusal.window, nullptr);
    EXPECT_EQ(refusal.text, L"请使用下面的参数发送!");
    console_.DismissMessageBox(refusal.window);
    EXPECT_TRUE(bus_.CallsTo("vPostData").empty());
    EXPECT_EQ(LoggedLineCount(console_), before);
}

TEST_F(SendTest, SendStrLogsTheTypedTextAndPostsItUnescapedWhateverItsLength)
{
    struct Case { const wchar_t* typed; const char* line; std::string posted; };
    const std::string longText(300, 'x');
    const Case cases[] = {
        { L"a\\nb", "30000202(  4) a\\nb", "a\nb" },
        { L"", "30000202(  0) ", "" },
        // Lengths are in bytes of the code page: each of these characters is two.
        { L"中文\\t", "30000202(  6) \xD6\xD0\xCE\xC4\\t", "\xD6\xD0\xCE\xC4\t" },
        // 誠 is D5 5C: its second byte is no backslash, so "誠n" stays as it is.
        { L"誠n", "30000202(  3) \xD5\x5Cn", "\xD5\x5Cn" },
    };
    console_.SetText(IDC_CHANNEL, L"2");
    for (const Case& c : cases) {
        console_.SetText(IDC_STRING, c.typed);
        std::vector<FakeCall> posts = Press(IDC_SEND_STR);
        EXPECT_EQ(LastLogLine(console_), c.line);
        ASSERT_EQ(posts.size(), 1u) << c.line;
        EXPECT_EQ(posts[0].word, 0x30000202u);
        EXPECT_EQ(posts[0].number, static_cast<int>(c.posted.size())) << c.line;
        EXPECT_EQ(PostedBytes(posts[0]), c.posted) << c.line;
        EXPECT_EQ(seen_.lines, std::vector<std::string>{ c.line }) << "not logged before the post";
        // The field holds what was posted; the control still shows what was typed.
        EXPECT_EQ(FieldText(), c.posted);
        EXPECT_EQ(console_.Text(console_.Control(IDC_STRING)), c.typed);
    }

    // Only the log line is cut; the post carries the whole text.
    console_.SetText(IDC_STRING, std::wstring(longText.begin(), longText.end()).c_str());
    std::vector<FakeCall> posts = Press(IDC_SEND_STR);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].number, 300);
    EXPECT_EQ(PostedBytes(posts[0]), longText);
    EXPECT_EQ(LastLogLine(console_), ("30000202(300) " + longText).substr(0, 127));
}

TEST_F(SendTest, SendArrPostsTheParsedBytesAndStopsOnAnEmptyField)
{
    struct Case { const wchar_t* typed; const char* line; std::string posted; };
    const Case cases[] = {
        { L"01 05 09 00 02 09 00 00 01 03 03", "30000400( 11) 01 05 09 00 02 09 00 00 01 03 03",
          std::string("\x01\x05\x09\x00\x02\x09\x00\x00\x01\x03\x03", 11) },
        { L"1 2 3 4 5 6 7 8 9 a b c d e f 10 11 12 13 14 15 16 17 18 19",
          "30000400( 20) 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14",
          "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13\x14" },
    };
    console_.SetText(IDC_CHANNEL, L"0");
    for (const Case& c : cases) {
        console_.SetText(IDC_ARRAY, c.typed);
        std::vector<FakeCall> posts = Press(IDC_SEND_ARR);
        EXPECT_EQ(LastLogLine(console_), c.line);
        ASSERT_EQ(posts.size(), 1u) << c.line;
        EXPECT_EQ(posts[0].word, 0x30000400u);
        EXPECT_EQ(posts[0].number, static_cast<int>(c.posted.size())) << c.line;
        EXPECT_EQ(PostedBytes(posts[0]), c.posted) << c.line;
        EXPECT_EQ(seen_.lines, std::vector<std::string>{ c.line }) << "not logged before the post";
    }

    console_.SetText(IDC_ARRAY, L"");
    uint32_t before = LoggedLineCount(console_);
    EXPECT_TRUE(Press(IDC_SEND_ARR).empty());
    EXPECT_EQ(LoggedLineCount(console_), before);
}

TEST_F(SendTest, StopAllPostsTheStopCodeWithoutExchangeOrLine)
{
    console_.SetText(IDC_CHANNEL, L"300");   // an exchange would prompt
    uint32_t before = LoggedLineCount(console_);
    std::vector<FakeCall> posts = Press(IDC_STOPALL);
    EXPECT_TRUE(console_.MessageBoxes().empty());
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].word, 0x80800000u);
    EXPECT_EQ(posts[0].dataWord, 0);
    EXPECT_EQ(posts[0].number, 0);
    EXPECT_EQ(LoggedLineCount(console_), before);
    EXPECT_EQ(console_.OnGui([&] { return console_.DialogObject()->m_nChannel; }), 0u);
}

TEST_F(SendTest, WithoutTheLibraryTheSendsAreLoggedAndNothingIsPosted)
{
    console_.Send(dlg_, WM_ENDSESSION, TRUE, 0);   // releases the binding
    ASSERT_FALSE(console_.OnGui([&] { return console_.DialogObject()->IsBusBound(); }));
    Fields(L"Write Value", L"Depth", L"1", L"255");
    console_.SetText(IDC_STRING, L"abc");
    uint32_t before = LoggedLineCount(console_);

    bus_.ClearCalls();
    console_.Click(IDC_SEND);
    console_.Click(IDC_SEND_STR);
    console_.Click(IDC_SEND_ARR);
    console_.Click(IDC_STOPALL);

    EXPECT_EQ(LoggedLineCount(console_), before + 3);
    EXPECT_EQ(LastLogLine(console_), "30000401( 11) 01 05 09 00 02 09 00 00 01 03 03");
    EXPECT_TRUE(bus_.Calls().empty()) << "a released library was called";
}
