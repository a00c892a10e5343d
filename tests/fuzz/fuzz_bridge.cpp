// The bridge cable's poll, a byte a read, through its assembler and the headless frame sequence.
// The byte 0xFF stands for a read that failed; 0xFE takes the byte after it as read (0xFE, 0xFF).
#include "FrameFeed.h"
#include "FuzzSupport.h"
#include "links/bridge/BridgeAssembler.h"
#include "recording/HeadlessSequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HeadlessSequence sequence {u"."_qs, u":"_qs};
    FrameFeed feed {sequence};
    BridgeAssembler assembler;
    for (size_t i = 0; i < size; ++i) {
        BridgeStep step;
        if (data[i] == 0xFF) {
            const quint8 before = assembler.XpressPos();
            step = BridgeAssembler::failedRead();
            FUZZ_CHECK(assembler.XpressPos() == before);
        } else {
            const quint8 byte = data[i] == 0xFE && i + 1 < size ? data[++i] : data[i];
            step = assembler.read(byte);
        }
        FUZZ_CHECK(assembler.XpressPos() < BridgeAssembler::ReadingLength);
        FUZZ_CHECK(!step.accepted || step.frame);
        FUZZ_CHECK(assembler.readingFrame().size() <= BridgeAssembler::BufferSize);
        if (step.frame) {
            FUZZ_CHECK(assembler.frame().size() <= BridgeAssembler::ReadingLength);
            feed.takeBridgeFrame(assembler.frame(), step.accepted);
        }
    }
    return 0;
}
