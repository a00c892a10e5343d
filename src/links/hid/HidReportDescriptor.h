#pragma once

#include <QByteArrayView>

// What the reader needs to know of a device's input reports, from its report descriptor.
struct HidInputReports
{
    // Bytes of the longest input report plus one for the identifier, which the reader always
    // puts first. 65 (64 + 1) when the descriptor names no input report.
    int length = 65;
    // Whether the device numbers its reports; unnumbered reports arrive without identifier.
    bool numbered = false;
};

HidInputReports hidInputReports(QByteArrayView descriptor);
