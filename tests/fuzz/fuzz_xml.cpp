// The XML data packet reader: a packet that fails leaves the table as it was and says why in a
// short, printable message; one that loads keeps the field lengths and is written in both forms
// that load back.
#include "TableChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ReadingTable table;
    table.append(Fuzz::heldRow());
    QString error;
    if (!TableFiles::readXml(table, Fuzz::bytes(data, size), &error)) {
        FUZZ_CHECK(!error.isEmpty());
        Fuzz::checkMessage(error);
        FUZZ_CHECK(table.rowCount() == 1 && table.row(0) == Fuzz::heldRow());
        return 0;
    }
    Fuzz::checkTexts(table);
    Fuzz::checkWrittenFormsLoad(table);
    return 0;
}
