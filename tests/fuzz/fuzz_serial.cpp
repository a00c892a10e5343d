// The serial cable's bytes through the frame assembly, the frame sink and the headless frame
// sequence (decoder, display values, record step). The same bytes fed whole and in pieces must
// give the same frames and rows.
#include "FrameFeed.h"
#include "FuzzSupport.h"
#include "recording/HeadlessSequence.h"

#include <QStringList>

namespace {

struct Run
{
    HeadlessSequence sequence {u"."_qs, u":"_qs};
    FrameFeed feed {sequence};
    QStringList outcomes;

    Run()
    {
        feed.setListener([this](const QString &frame, FrameSink::Outcome outcome,
                                const ConversionError *failure) {
            FUZZ_CHECK(frame.size() <= FrameAssembler::MaxFrameLength);
            FUZZ_CHECK((outcome == FrameSink::Outcome::Failed) == (failure != nullptr));
            QString line = frame + u' ' + QString::number(int(outcome));
            if (failure)
                line += u' ' + failure->message();
            outcomes.append(line);
        });
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input = Fuzz::bytes(data, size);
    Run whole;
    whole.feed.feed(input);

    // The first byte sets the size of the pieces of the second run.
    Run pieces;
    const qsizetype step = size ? 1 + data[0] % 17 : 1;
    for (qsizetype at = 0; at < input.size(); at += step)
        pieces.feed.feed(input.sliced(at, std::min(step, input.size() - at)));

    FUZZ_CHECK(whole.outcomes == pieces.outcomes);
    FUZZ_CHECK(whole.sequence.table().rowCount() == pieces.sequence.table().rowCount());
    FUZZ_CHECK(whole.feed.frames() == whole.outcomes.size());
    FUZZ_CHECK(whole.feed.frames() >= whole.feed.dropped() + whole.feed.failed());
    const ReadingTable &table = whole.sequence.table();
    for (qsizetype i = 0; i < table.rowCount(); ++i)
        for (int f = 0; f < ReadingTable::FieldCount; ++f)
            FUZZ_CHECK(table.text(i, ReadingTable::Field(f)).size() <= ReadingTable::TextLength);
    return 0;
}
