// meterlog's replays from a file on disk through the frame feed: the first byte picks a raw
// capture (even) or the HID cable's report text (odd); the rest is the file. A raw replay gives
// the frames the same bytes give fed at once; a bad report line ends the HID replay with a short,
// printable message.
#include "FrameFeed.h"
#include "FuzzSupport.h"
#include "ReplayFile.h"
#include "TableChecks.h"
#include "recording/HeadlessSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView content = Fuzz::bytes(data + 1, size - 1);
    const QString path = Fuzz::writeScratch(".capture", content);
    HeadlessSequence sequence {u"."_qs, u":"_qs};
    FrameFeed feed {sequence};
    QString error;
    if (data[0] % 2 == 0) {
        ReplayFile replay;
        FUZZ_CHECK(replay.open(path, &error));
        while (replay.feedNextBlock(feed)) { }
        FUZZ_CHECK(replay.error().isEmpty());
        FUZZ_CHECK(replay.bytesRead() == content.size());

        HeadlessSequence direct {u"."_qs, u":"_qs};
        FrameFeed directFeed {direct};
        directFeed.feed(content);
        FUZZ_CHECK(directFeed.frames() == feed.frames());
        FUZZ_CHECK(directFeed.dropped() == feed.dropped());
        FUZZ_CHECK(direct.table().rowCount() == sequence.table().rowCount());
    } else {
        HidReplayFile replay;
        FUZZ_CHECK(replay.open(path, &error));
        while (replay.feedNextBlock(feed)) { }
        if (!replay.error().isEmpty())
            Fuzz::checkMessage(replay.error());
    }
    Fuzz::checkTexts(sequence.table());
    return 0;
}
