#pragma once

#include <QString>

// meterlog convert IN OUT: loads IN by the window's rules and writes OUT as a PDF report
// (".pdf", any letter case) or a table file by the window's extension rule. Returns the exit
// code, after saying what went wrong. The PDF needs a QGuiApplication.
int convertTableFile(const QString &in, const QString &out);
bool isReportName(const QString &path);

// meterlog --recover JOURNAL OUT: writes the rows of a recording journal to OUT by the window's
// extension rule. A damaged line ends the rows; those before it are written, and the exit code
// says the input could not be read whole.
int recoverJournal(const QString &journal, const QString &out);
