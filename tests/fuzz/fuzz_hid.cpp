// The HID cable's input reports through both report handlers, alone and sharing one burst
// state, and the serial frames of the first handler through the headless frame sequence.
// The input is a run of reports: a length byte (its low six bits), then that many data bytes.
#include "FrameFeed.h"
#include "FuzzSupport.h"
#include "links/HidAssembly.h"
#include "recording/HeadlessSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HeadlessSequence sequence {u"."_qs, u":"_qs};
    FrameFeed feed {sequence};
    HidReadReportAssembler readReports;
    HidBurst shared;
    HidBurstAssembler sharedBursts(shared);
    HidReadReportAssembler sharedReadReports(shared);

    const QByteArrayView input = Fuzz::bytes(data, size);
    qsizetype at = 0;
    bool toggle = false;
    while (at < input.size()) {
        const qsizetype length = std::min<qsizetype>(data[at] & 0x3F, input.size() - at - 1);
        const QByteArrayView report = input.sliced(at + 1, length);
        at += 1 + length;

        const HidBurst::Report kind = feed.feedHidReport(report);
        FUZZ_CHECK(feed.hidBurst().hidBurstOpen() == (kind == HidBurst::Report::Carried));
        FUZZ_CHECK(!HidBurst::reportText(0, report).isEmpty());

        readReports.feed(report, [](const QString &frame, bool accepted) {
            FUZZ_CHECK(frame.size() <= HidReadReportAssembler::FrameLength);
            FUZZ_CHECK(!accepted || frame.size() == HidReadReportAssembler::FrameLength);
        });
        // The two handlers of one window take turns, as the Read button switches them.
        toggle = !toggle;
        if (toggle) {
            sharedBursts.feed(
                report,
                [](const QString &frame) {
                    FUZZ_CHECK(frame.size() <= HidBurstAssembler::FrameLength);
                },
                [](const QString &byteText, const QString &lowDigits) {
                    FUZZ_CHECK(byteText.size() % 2 == 0);
                    FUZZ_CHECK(lowDigits.size() <= HidBurstAssembler::FrameLength);
                });
        } else {
            sharedReadReports.feed(report, [](const QString &frame, bool) {
                FUZZ_CHECK(frame.size() <= HidReadReportAssembler::FrameLength);
            });
        }
        FUZZ_CHECK(shared.hidByteText().size() == 2 * shared.bytes().size());
    }
    FUZZ_CHECK(feed.frames() >= feed.dropped() + feed.failed());
    return 0;
}
