// Triggered recording's ring and windows. Pure logic.
#include <gtest/gtest.h>

#include "common/FileName.h"
#include "velkctl/TriggerEdge.h"
#include "velkctl/TriggerFile.h"
#include "velkctl/TriggerRing.h"
#include "common/FormatText.h"

namespace {

// Each file as "#N@T" (", cut" when the cap cut it), then its messages'
// times, the trigger's starred, then "end".
class Files : public TriggerSink {
public:
    void Begin(unsigned number, uint64_t triggerMicros, bool cut) override
    {
        log += FormatText("%s#%u@%llu%s:", log.empty() ? "" : " ", number, static_cast<unsigned long long>(triggerMicros), cut ? " cut" : "");
    }
    void Write(const RecordedMessage& message, bool trigger) override
    {
        log += FormatText(" %llu%s", static_cast<unsigned long long>(message.micros), trigger ? "*" : "");
    }
    void End(unsigned) override { log += " end;"; }

    std::string log;
};

RecordedMessage At(uint64_t micros, size_t payload = 0)
{
    RecordedMessage message = {};
    message.micros = micros;
    message.code = payload > 0 ? 0x30000201 : 0x20000801;
    message.kind = payload > 0 ? kStringPayload : kValueMessage;
    message.bytes.assign(payload, 'x');
    return message;
}

TEST(TriggerRing, FileHoldsExactlyThePreWindowTheTriggerAndThePostWindow)
{
    Files files;
    TriggerRing ring({ 1000, 500, 1, 100, 1 << 20 }, &files);
    for (uint64_t t = 0; t < 2000; t += 100)
        ring.Add(At(t), false);
    ring.Add(At(2000), true);       // 1000 is exactly pre old: kept; 900 is not
    ring.Add(At(2200), true);       // a trigger inside the post-window is one of its messages
    ring.Add(At(2500), false);      // the post-window's last microsecond
    EXPECT_FALSE(ring.Done());
    ring.Add(At(2501), false);
    EXPECT_TRUE(ring.Done());
    ring.Add(At(9000), true);       // no file after the last
    EXPECT_EQ("#1@2000: 1000 1100 1200 1300 1400 1500 1600 1700 1800 1900 2000* 2200 2500 end;", files.log);
    EXPECT_EQ(1u, ring.Files());
    EXPECT_EQ(0u, ring.CapDropped());

    // Early in the recording the window holds what there is; time alone ends the post-window.
    Files early;
    TriggerRing soon({ 1000, 500, 1, 100, 1 << 20 }, &early);
    soon.Add(At(0), false);
    soon.Add(At(300), true);
    soon.Tick(800);
    EXPECT_EQ("#1@300: 0 300*", early.log);
    soon.Tick(801);
    EXPECT_EQ("#1@300: 0 300* end;", early.log);
}

TEST(TriggerRing, RetriggerWritesOneFilePerTriggerUpToTheCount)
{
    Files files;
    TriggerRing ring({ 300, 100, 2, 100, 1 << 20 }, &files);
    ring.Add(At(0), false);
    ring.Add(At(100), true);
    ring.Add(At(150), true);        // inside the post-window: one of its messages
    ring.Add(At(200), false);
    ring.Add(At(350), false);       // ends file 1; kept for the next window
    ring.Add(At(400), true);        // its window reaches back into file 1's: 100 is exactly pre old
    ring.Add(At(401), false);
    ring.Add(At(500), false);
    EXPECT_FALSE(ring.Done());
    ring.Add(At(600), true);        // a third trigger: past the count
    ring.Finish();                  // nothing open: no second end
    EXPECT_EQ("#1@100: 0 100* 150 200 end; #2@400: 100 150 200 350 400* 401 500 end;", files.log);
    EXPECT_TRUE(ring.Done());
    EXPECT_EQ(2u, ring.Files());

    // Stopped inside a post-window: the file is closed.
    Files stopped;
    TriggerRing open({ 300, 1000, 3, 100, 1 << 20 }, &stopped);
    open.Add(At(10), true);
    open.Finish();
    EXPECT_EQ("#1@10: 10* end;", stopped.log);
    EXPECT_FALSE(open.Done());
}

TEST(TriggerRing, CapsOnCountAndBytesKeepTheNewestAndSayTheWindowWasCut)
{
    Files byCount;
    TriggerRing count({ 1000, 0, 2, 3, 1 << 20 }, &byCount);
    for (uint64_t t = 0; t < 5; ++t)
        count.Add(At(t), false);
    count.Add(At(5), true);
    count.Add(At(2000), false);
    count.Add(At(2001), true);      // the cap dropped nothing inside this window
    count.Finish();
    EXPECT_EQ("#1@5 cut: 3 4 5* end; #2@2001: 2000 2001* end;", byCount.log);
    EXPECT_EQ(3u, count.CapDropped());

    // What a message costs: the element alone while the payload fits the
    // string's own buffer; past that its heap block, in 16-byte steps.
    EXPECT_EQ(sizeof(RecordedMessage), RingMessageBytes(At(0)));
    RecordedMessage small = At(0, 10), large = At(0, 100);
    EXPECT_EQ(sizeof(RecordedMessage), RingMessageBytes(small));
    large.bytes.shrink_to_fit();
    const size_t block = (large.bytes.capacity() + 1 + 16 + 15) / 16 * 16;
    EXPECT_EQ(sizeof(RecordedMessage) + block, RingMessageBytes(large));
    EXPECT_GE(block, 100u + 1 + 16);
    EXPECT_LT(block, 100u + 1 + 16 + 16);

    // Exactly at the byte cap all stay; one byte over drops the oldest.
    const size_t message = RingMessageBytes(At(0, 100));
    Files atCap;
    TriggerRing fits({ 1000, 0, 1, 100, 3 * message }, &atCap);
    for (uint64_t t = 0; t < 3; ++t)
        fits.Add(At(t, 100), t == 2);
    EXPECT_EQ("#1@2: 0 1 2*", atCap.log);
    EXPECT_EQ(0u, fits.CapDropped());
    Files overCap;
    TriggerRing over({ 1000, 0, 1, 100, 3 * message - 1 }, &overCap);
    for (uint64_t t = 0; t < 3; ++t)
        over.Add(At(t, 100), t == 2);
    EXPECT_EQ("#1@2 cut: 1 2*", overCap.log);
    EXPECT_EQ(1u, over.CapDropped());

    // The trigger's own message stays whatever the cap.
    Files alone;
    TriggerRing tiny({ 1000, 0, 1, 0, 0 }, &alone);
    tiny.Add(At(0, 10), false);
    tiny.Add(At(1, 10), true);
    EXPECT_EQ("#1@1 cut: 1*", alone.log);
}

TEST(TriggerRing, AMessageTheFiltersKeepOutTriggersButIsNeverKept)
{
    Files files;
    TriggerRing ring({ 300, 100, 2, 100, 1 << 20 }, &files);
    ring.Add(At(0), false);
    ring.Add(At(50), false, false);   // filtered out, no trigger: nowhere
    ring.Add(At(100), false);
    ring.Add(At(400), true, false);   // its window is its own time's: 100 is exactly pre old, 0 is not
    ring.Add(At(450), true, false);   // filtered out inside the post-window: not written
    ring.Add(At(500), false);         // the post-window's last microsecond
    ring.Add(At(700), true);          // file 2's window does not hold file 1's filtered trigger
    ring.Finish();
    EXPECT_EQ("#1@400: 100 400* 500 end; #2@700: 500 700* end;", files.log);
}

TEST(TriggerEdge, FiresAsThePredicateBecomesTrueAndWithLevelOnEveryHold)
{
    const CodePattern state = { 0x20001002, 0xFFFFFFFF };
    TriggerEdge edge(state, false);
    EXPECT_TRUE(edge.Fires(0x20001002, true));     // the first message of its codes, holding
    EXPECT_FALSE(edge.Fires(0x20001002, true));    // true to true
    EXPECT_FALSE(edge.Fires(0x20000801, false));   // another code changes nothing
    EXPECT_FALSE(edge.Fires(0x20001002, true));
    EXPECT_FALSE(edge.Fires(0x20001002, false));
    EXPECT_FALSE(edge.Fires(0x20000801, true));    // nor does it fire the trigger
    EXPECT_TRUE(edge.Fires(0x20001002, true));     // false to true
    TriggerEdge late(state, false);
    EXPECT_FALSE(late.Fires(0x20001002, false));
    EXPECT_TRUE(late.Fires(0x20001002, true));
    TriggerEdge level(state, true);
    EXPECT_TRUE(level.Fires(0x20001002, true));
    EXPECT_TRUE(level.Fires(0x20001002, true));
    EXPECT_FALSE(level.Fires(0x20001002, false));
    EXPECT_FALSE(level.Fires(0x20000801, true));

    // With --retrigger 2: a rise inside a post-window is one of its messages,
    // and a predicate still true after the window fires no file of its own.
    Files files;
    TriggerRing ring({ 100, 150, 2, 100, 1 << 20 }, &files);
    TriggerEdge fault(state, false);
    const bool holds[] = { true, false, true, true, true, false, true };
    for (size_t i = 0; i < sizeof holds / sizeof holds[0]; ++i) {
        RecordedMessage message = At(i * 60);
        message.code = state.code;
        ring.Add(message, fault.Fires(message.code, holds[i]));
    }
    ring.Finish();
    EXPECT_EQ("#1@0: 0* 60 120 end; #2@360: 300 360* end;", files.log);
}

TEST(TriggerFile, NumberedNamesKeepTheExtensionAndCommentsStayOneLine)
{
    EXPECT_EQ("rec-1.txt", NumberedRecordPath("rec.txt", 1));
    EXPECT_EQ("rec.tar-10000.gz", NumberedRecordPath("rec.tar.gz", 10000));
    EXPECT_EQ("logs.d/rec-2", NumberedRecordPath("logs.d/rec", 2));
    EXPECT_EQ("C:\\a.b\\rec-3", NumberedRecordPath("C:\\a.b\\rec", 3));
    EXPECT_EQ("C:rec-3.txt", NumberedRecordPath("C:rec.txt", 3));
    EXPECT_EQ(".rec-4", NumberedRecordPath(".rec", 4));
    EXPECT_EQ("dir/.rec-5.txt", NumberedRecordPath("dir/.rec.txt", 5));
    // Windows drops the dots and spaces that end a name: numbered is what it makes.
    EXPECT_EQ("trail-1", NumberedRecordPath("trail.", 1));
    EXPECT_EQ("rec-2.txt", NumberedRecordPath("rec.txt. .", 2));
    EXPECT_EQ("C:\\a.\\rec-3", NumberedRecordPath("C:\\a.\\rec ", 3));
    EXPECT_EQ("trail", FileNameAsMade("trail."));
    EXPECT_EQ("d. /t", FileNameAsMade("d. /t. "));
    EXPECT_EQ("d/..", FileNameAsMade("d/.."));   // a last part of dots alone stays
    EXPECT_EQ("C:.", FileNameAsMade("C:."));
    EXPECT_EQ(".rec", FileNameAsMade(".rec"));
    EXPECT_EQ("-", FileNameAsMade("-"));

    EXPECT_EQ("# triggered by 20000801 gt 1500\\n at 12.000345 (file 2; pre 5.000000 s, post 0.000000 s)",
              FormatTriggerHeader("20000801 gt 1500\n", 2, 12000345, 5000000, 0));
}

} // namespace
