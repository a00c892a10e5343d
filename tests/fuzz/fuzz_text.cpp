// The text table reader: rows are added after those held, a bad line stops the load with a
// short, printable message and keeps the rows before it, and what loaded is written in both
// forms that load back.
#include "TableChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ReadingTable table;
    table.append(Fuzz::heldRow());
    QString error;
    const bool loaded = TableFiles::readText(table, Fuzz::bytes(data, size), &error);
    FUZZ_CHECK(table.rowCount() >= 1 && table.row(0) == Fuzz::heldRow());
    if (!loaded) {
        FUZZ_CHECK(!error.isEmpty());
        Fuzz::checkMessage(error);
    }
    Fuzz::checkTexts(table);
    Fuzz::checkWrittenFormsLoad(table);
    return 0;
}
