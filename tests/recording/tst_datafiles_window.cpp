#include "recording/DataFiles.h"
#include "recording/ReadingRecorder.h"
#include "recording/TableFiles.h"
#include "support/FileBytes.h"
#include "support/Prompts.h"
#include "support/TestWindow.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

// The Open and Save buttons of the real window, with the file dialogs answered by the test.
class TestDataFilesWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();

    void saveWritesTheFileAndSaysSo();
    void saveOutcomes_data();
    void saveOutcomes();
    void cancelledDialogsChangeNothing();
    void dialogOptions();
    void saveAsCsvThroughTheDialog_data();
    void saveAsCsvThroughTheDialog();
    void openingACsvFileFailsCleanly();
    void openAppendsTextRowsToTheGrid();
    void openXmlReplacesTheRows();
    void openXmlAsksBeforeUnsavedRowsGo_data();
    void openXmlAsksBeforeUnsavedRowsGo();
    void failingLoadSaysSo();
    void saveAsksAboutTheCompletedName();
    void packetOfAnotherTableFails();
    void openXmlMakesTheFirstRowCurrent();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {

const QString filter = u"Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt"_qs;
const QString saveFilter = filter + u"|CSV File(*.csv)|*.csv"_qs;

struct Window
{
    TestWindow t;
    ReadingRecorder &recorder() { return t.window->recorder(); }
    ReadingTable &table() { return recorder().table(); }
    QTableView *grid() { return t.find<QTableView>(u"DBGrid1"_qs); }
    QString cell(int row, int column)
    {
        return grid()->model()->data(grid()->model()->index(row, column)).toString();
    }
    void record(int n)
    {
        ReadingTable::Row r;
        r.no = n;
        r.time = u"10:00:0%1"_qs.arg(n);
        r.dcAc = u"DCV"_qs;
        r.value = QString::number(n) + u".000"_qs;
        r.unit = u"V"_qs;
        r.range = u"4 V"_qs;
        r.autoText = u"Auto"_qs;
        r.nval = n * 1000;
        recorder().appendTestRow(r);
    }
    void save(const QString &answer)
    {
        if (!answer.isEmpty())
            t.prompts.fileAnswers << answer;
        t.find<QToolButton>(u"saveas"_qs)->click();
    }
    void open(const QString &answer)
    {
        if (!answer.isEmpty())
            t.prompts.fileAnswers << answer;
        t.find<QToolButton>(u"OpenDataFiles"_qs)->click();
    }
};

} // namespace

void TestDataFilesWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestDataFilesWindow::saveWritesTheFileAndSaysSo()
{
    Window w;
    for (int n = 1; n <= 3; ++n)
        w.record(n);
    w.grid()->setCurrentIndex(w.grid()->model()->index(0, 0));
    QVERIFY(w.recorder().hasUnsavedRows());
    const QString file = path(u"rows.xls"_qs);
    w.save(file);
    QCOMPARE(w.t.prompts.texts(u"information"_qs),
             QStringList {u"save table to specified file: "_qs + file + u" Scuss!"_qs});
    QVERIFY(!w.recorder().hasUnsavedRows());
    QCOMPARE(w.grid()->currentIndex().row(), 2); // back on the newest row

    ReadingTable loaded;
    QVERIFY(TableFiles::loadText(loaded, file));
    QCOMPARE(loaded.rowCount(), 3);
    QCOMPARE(loaded.text(2, ReadingTable::Value), u"3.000"_qs);
}

void TestDataFilesWindow::saveOutcomes_data()
{
    QTest::addColumn<QString>("file"); // in the test's folder unless absolute
    QTest::addColumn<QString>("kind"); // of the message shown, "" for none
    QTest::addColumn<QString>("text"); // the message starts so
    QTest::addColumn<bool>("saved");
    QTest::newRow("text") << u"rows.txt"_qs << u"information"_qs
                          << u"save table to specified file: "_qs << true;
    QTest::newRow("text fails") << u"/dev/full"_qs << u"information"_qs
                                << u"Could not save table to specified file: /dev/full"_qs << false;
    QTest::newRow("XML") << u"rows.xml"_qs << QString() << QString() << true;
    QTest::newRow("XML fails") << u"missing/rows.xml"_qs << u"applicationError"_qs
                               << u"Could not save "_qs << false;
    QTest::newRow("CSV fails") << u"missing/rows.csv"_qs << u"information"_qs
                               << u"Could not save table to specified file: "_qs << false;
}

void TestDataFilesWindow::saveOutcomes()
{
    QFETCH(QString, file);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(bool, saved);
    if (!file.startsWith(u'/'))
        file = path(file);
    Window w;
    w.record(1);
    w.save(file);
    QCOMPARE(w.t.prompts.shown.size(), kind.isEmpty() ? 1 : 2);
    if (!kind.isEmpty()) {
        QCOMPARE(w.t.prompts.shown[1].kind, kind);
        QVERIFY2(w.t.prompts.shown[1].text.startsWith(text), qPrintable(w.t.prompts.shown[1].text));
        QVERIFY(w.t.prompts.shown[1].text.contains(file));
    }
    QCOMPARE(!w.recorder().hasUnsavedRows(), saved);
    if (saved) {
        ReadingTable loaded;
        QVERIFY(TableFiles::load(loaded, file));
        QCOMPARE(loaded.row(0).value, u"1.000"_qs);
    }
}

void TestDataFilesWindow::cancelledDialogsChangeNothing()
{
    Window w;
    w.record(1);
    w.save({});
    w.open({});
    QCOMPARE(w.t.prompts.shown.size(), 2); // the two dialogs, no message
    QCOMPARE(w.table().rowCount(), 1);
    QVERIFY(w.recorder().hasUnsavedRows());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList {});
}

void TestDataFilesWindow::dialogOptions()
{
    Window w;
    const QString first = path(u"first.txt"_qs);
    QVERIFY(writeFile(first, "No\r\n"));
    w.save(path(u"saved.xls"_qs));
    w.t.find<QAction>(u"RecordSave1"_qs)->trigger(); // the Record menu's Save, cancelled
    w.open(first);
    w.open({});
    w.open(path(u"saved.xls"_qs));
    w.open({});

    const QList<FileDialogOptions> &d = w.t.prompts.fileDialogs;
    QCOMPARE(d.size(), 6);
    for (const FileDialogOptions &save : {d[0], d[1]}) {
        QCOMPARE(save.filter, saveFilter);
        QCOMPARE(save.defaultExtension, u"xls"_qs);
        QVERIFY(save.confirmOverwrite);
        QCOMPARE(save.fileName, QString()); // never the last name
    }
    QCOMPARE(w.t.prompts.texts(u"saveFile"_qs).size(), 2);
    QCOMPARE(w.t.prompts.texts(u"openFile"_qs).size(), 4);
    const QStringList proposed {QString(), first, first, path(u"saved.xls"_qs)};
    for (int i = 0; i < 4; ++i) {
        const FileDialogOptions &open = d[2 + i];
        QCOMPARE(open.filter, filter);
        QCOMPARE(open.defaultExtension, QString());
        QCOMPARE(open.fileName, proposed[i]); // the last name chosen, kept over a cancel
    }
}

void TestDataFilesWindow::saveAsCsvThroughTheDialog_data()
{
    QTest::addColumn<int>("filterSteps"); // Down presses in the dialog's file type box
    QTest::addColumn<QString>("typed"); // the name typed into the dialog
    QTest::addColumn<QString>("saved"); // the file written
    QTest::addColumn<bool>("csv");
    QTest::newRow("CSV selected, name without extension")
        << 3 << u"drive"_qs << u"drive.csv"_qs << true;
    QTest::newRow("CSV selected, .csv typed") << 3 << u"drive.csv"_qs << u"drive.csv"_qs << true;
    // The name typed decides the form; the filter only lends its extension.
    QTest::newRow("CSV selected, .txt typed") << 3 << u"drive.txt"_qs << u"drive.txt"_qs << false;
    QTest::newRow("first filter, name without extension")
        << 0 << u"drive"_qs << u"drive.xls"_qs << false;
    QTest::newRow("first filter, .csv typed") << 0 << u"drive.csv"_qs << u"drive.csv"_qs << true;
}

// The window's Save as a user meets it: its options in a real save dialog, a file type chosen
// and a name typed there, and the file that name stands for written by the window.
void TestDataFilesWindow::saveAsCsvThroughTheDialog()
{
    QFETCH(int, filterSteps);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QFETCH(bool, csv);

    Window w;
    w.record(1);
    w.record(2);
    w.save({}); // cancelled: only its options are wanted here
    const FileDialogOptions options = w.t.prompts.fileDialogs.last();

    QFileDialog dialog(nullptr, options.title, m_dir->path());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QtPrompts::prepareSaveDialog(dialog, options);
    auto *types = dialog.findChild<QComboBox *>(u"fileTypeCombo"_qs);
    QVERIFY(types);
    QCOMPARE(types->count(), 4);
    for (int i = 0; i < filterSteps; ++i)
        QTest::keyClick(types, Qt::Key_Down);
    QCOMPARE(types->currentIndex(), filterSteps);
    auto *name = dialog.findChild<QLineEdit *>(u"fileNameEdit"_qs);
    QVERIFY(name);
    name->clear();
    QTest::keyClicks(name, typed);
    // The dialog itself names that file, so its question before overwriting is about it.
    QCOMPARE(dialog.selectedFiles().value(0), path(saved));
    const QString chosen = QtPrompts::savedName(dialog.selectedFiles().value(0),
                                                dialog.selectedNameFilter(), options);
    QCOMPARE(chosen, path(saved));

    w.t.prompts.clear();
    w.save(chosen);
    QCOMPARE(w.t.prompts.texts(u"information"_qs),
             QStringList {u"save table to specified file: "_qs + chosen + u" Scuss!"_qs});
    QVERIFY(!w.recorder().hasUnsavedRows());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList {saved});
    const QByteArray bytes = readFile(chosen);
    if (csv) {
        QCOMPARE(bytes,
                 QByteArray("\xEF\xBB\xBFNo,Time,DC/AC,Value,Unit,Range,AUTO\r\n"
                            "1,10:00:01,DCV,1.000,V,4 V,Auto\r\n"
                            "2,10:00:02,DCV,2.000,V,4 V,Auto\r\n"));
    } else {
        QVERIFY(bytes.startsWith("No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\r\n"));
    }
}

// The open dialog offers no CSV; a CSV file opened all the same fails as any unreadable file
// does and leaves the table as it was.
void TestDataFilesWindow::openingACsvFileFailsCleanly()
{
    Window w;
    w.record(1);
    w.record(2);
    const QString file = path(u"rows.csv"_qs);
    w.save(file);
    QVERIFY(QFile::exists(file));
    w.record(3);
    w.t.prompts.clear();
    w.open(file);
    QCOMPARE(w.t.prompts.texts(u"error"_qs), QStringList {u"Failed to Load File!"_qs});
    QCOMPARE(w.t.prompts.texts(u"question"_qs), QStringList {});
    QCOMPARE(w.t.prompts.fileDialogs.last().filter, filter);
    QCOMPARE(w.grid()->model()->rowCount(), 3);
    QCOMPARE(w.cell(2, 3), u"3.000"_qs);
    QVERIFY(w.recorder().hasUnsavedRows());
}

void TestDataFilesWindow::openAppendsTextRowsToTheGrid()
{
    Window w;
    w.record(1);
    w.record(2);
    const auto counters = w.t.window->state().counters;
    const QString file = path(u"more.txt"_qs);
    QVERIFY(writeFile(file,
                      "No\tTime\tDC/AC\tValue\tUnit\tRange\tAUTO\r\n"
                      "7\t11:00:00\tACV\t0.5\tV\t4 V\tManu\r\n"
                      "\t11:00:01\tACV\t0.6\tV\t4 V\tManu\r\n"));
    w.open(file);
    QCOMPARE(w.t.prompts.shown.size(), 1); // the dialog only
    QCOMPARE(w.grid()->model()->rowCount(), 4);
    QCOMPARE(w.cell(2, 0), u"7"_qs);
    QCOMPARE(w.cell(3, 1), u"11:00:01"_qs);
    QCOMPARE(w.cell(3, 0), QString());
    QCOMPARE(w.t.window->state().counters.RecordNo, counters.RecordNo);
    QCOMPARE(w.t.window->state().counters.RecordedCount, counters.RecordedCount);
    // The two recorded rows are still not in any file.
    QVERIFY(w.recorder().hasUnsavedRows());
}

void TestDataFilesWindow::openXmlReplacesTheRows()
{
    Window w;
    w.record(1);
    w.record(2);
    w.record(3);
    const auto counters = w.t.window->state().counters;
    ReadingTable packet;
    ReadingTable::Row r;
    r.no = 42;
    r.value = u"A&B"_qs;
    packet.append(r);
    QVERIFY(TableFiles::saveXml(packet, path(u"one.xml"_qs)));
    w.t.prompts.questionAnswers << true; // the recorded rows may go
    w.open(path(u"one.xml"_qs));
    QCOMPARE(w.t.prompts.texts(u"question"_qs), QStringList {DataFiles::replaceQuestion()});
    QCOMPARE(w.t.prompts.shown.size(), 2);
    QCOMPARE(w.grid()->model()->rowCount(), 1);
    QCOMPARE(w.cell(0, 0), u"42"_qs);
    QCOMPARE(w.cell(0, 3), u"A&B"_qs);
    QCOMPARE(w.t.window->state().counters.RecordNo, counters.RecordNo);
    QCOMPARE(w.t.window->state().counters.RecordedCount, counters.RecordedCount);
    QVERIFY(!w.recorder().hasUnsavedRows()); // the table is the file's again
}

void TestDataFilesWindow::failingLoadSaysSo()
{
    Window w;
    w.record(1);
    const QString text = path(u"bad.txt"_qs);
    QVERIFY(writeFile(text, "header\r\n5\tkept\r\nbad\tline\r\n6\tnever\r\n"));
    const QString xml = path(u"bad.xml"_qs);
    QVERIFY(writeFile(xml, "<DATAPACKET><METADATA>"));
    w.open(text);
    w.t.prompts.questionAnswers << true;
    w.open(xml);
    w.open(path(u"missing.xls"_qs));
    QCOMPARE(w.t.prompts.texts(u"error"_qs), QStringList(3, u"Failed to Load File!"_qs));
    // The rows before the bad text line stay and show; the bad packet changes nothing.
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(w.cell(1, 1), u"kept"_qs);
    QVERIFY(w.recorder().hasUnsavedRows());
}

// "rows" typed where rows.xls exists: the question comes for rows.xls, and No keeps the file.
void TestDataFilesWindow::saveAsksAboutTheCompletedName()
{
    Window w;
    w.record(1);
    const QString existing = path(u"rows.xls"_qs);
    QVERIFY(writeFile(existing, "earlier"));
    w.t.prompts.questionAnswers << false;
    w.save(path(u"rows"_qs));
    QCOMPARE(w.t.prompts.texts(u"question"_qs),
             QStringList {u"rows.xls already exists.\nDo you want to replace it?"_qs});
    QCOMPARE(w.t.prompts.texts(u"saveFile"_qs).size(), 2); // back to the dialog, cancelled there
    QCOMPARE(w.t.prompts.fileDialogs.last().fileName, existing);
    QCOMPARE(readFile(existing), QByteArray("earlier"));
    QVERIFY(!QFile::exists(path(u"rows"_qs)));
    QVERIFY(w.recorder().hasUnsavedRows());
    QCOMPARE(w.t.prompts.texts(u"information"_qs), QStringList {});

    w.t.prompts.clear();
    w.t.prompts.questionAnswers << true;
    w.save(path(u"rows"_qs));
    QCOMPARE(w.t.prompts.texts(u"information"_qs),
             QStringList {u"save table to specified file: "_qs + existing + u" Scuss!"_qs});
    QVERIFY(readFile(existing).startsWith("No\tTime"));
    QVERIFY(!w.recorder().hasUnsavedRows());
}

// A well-formed packet none of whose fields is ours: "Failed to Load File!", and the table, its
// saved state and the counters stay as they were.
void TestDataFilesWindow::packetOfAnotherTableFails()
{
    Window w;
    w.record(1);
    w.record(2);
    const auto counters = w.t.window->state().counters;
    const QString file = path(u"other.xml"_qs);
    QVERIFY(writeFile(file,
                      "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"2.0\">"
                      "<METADATA><FIELDS><FIELD attrname=\"Name\" fieldtype=\"string\" "
                      "WIDTH=\"20\"/><FIELD attrname=\"Size\" fieldtype=\"i4\"/></FIELDS>"
                      "<PARAMS/></METADATA><ROWDATA><ROW Name=\"a\" Size=\"1\"/>"
                      "<ROW Name=\"b\" Size=\"2\"/><ROW Name=\"c\" Size=\"3\"/></ROWDATA>"
                      "</DATAPACKET>\r\n"));
    w.t.prompts.questionAnswers << true; // the unsaved rows may go: the load fails all the same
    w.open(file);
    QCOMPARE(w.t.prompts.texts(u"error"_qs), QStringList {u"Failed to Load File!"_qs});
    QCOMPARE(w.table().rowCount(), 2);
    QCOMPARE(w.grid()->model()->rowCount(), 2);
    QCOMPARE(w.cell(1, 3), u"2.000"_qs);
    QVERIFY(w.recorder().hasUnsavedRows());
    QCOMPARE(w.t.window->state().counters.RecordNo, counters.RecordNo);
    QCOMPARE(w.t.window->state().counters.RecordedCount, counters.RecordedCount);
}

void TestDataFilesWindow::openXmlMakesTheFirstRowCurrent()
{
    Window w;
    w.t.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.t.window.get()));
    ReadingTable packet;
    for (int n = 1; n <= 50; ++n) {
        ReadingTable::Row r;
        r.no = n;
        r.value = QString::number(n);
        packet.append(r);
    }
    QVERIFY(TableFiles::saveXml(packet, path(u"fifty.xml"_qs)));
    w.record(1);
    w.record(2);
    QCOMPARE(w.grid()->currentIndex().row(), 1);
    w.t.prompts.questionAnswers << true;
    w.open(path(u"fifty.xml"_qs));
    QCOMPARE(w.grid()->model()->rowCount(), 50);
    QCOMPARE(w.grid()->currentIndex().row(), 0);
    QVERIFY(w.grid()->selectionModel()->isRowSelected(0, {}));
    QCOMPARE(w.grid()->verticalScrollBar()->value(), 0); // the first row in view
}

void TestDataFilesWindow::openXmlAsksBeforeUnsavedRowsGo_data()
{
    QTest::addColumn<QString>("before"); // "recorded", "saved", "loaded", "empty"
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("unsaved rows, No") << u"recorded"_qs << u"p.xml"_qs << false << true << false;
    QTest::newRow("unsaved rows, Yes") << u"recorded"_qs << u"p.xml"_qs << true << true << true;
    QTest::newRow("rows saved") << u"saved"_qs << u"p.xml"_qs << false << false << true;
    QTest::newRow("rows loaded from a file")
        << u"loaded"_qs << u"p.xml"_qs << false << false << true;
    QTest::newRow("empty table") << u"empty"_qs << u"p.xml"_qs << false << false << true;
    // A text file adds its rows: nothing is lost, nothing asked.
    QTest::newRow("text file beside unsaved rows")
        << u"recorded"_qs << u"p.txt"_qs << false << false << false;
}

// Opening a packet asks first while rows are not in any file, by the rule closing the window
// follows; No leaves the table as it was.
void TestDataFilesWindow::openXmlAsksBeforeUnsavedRowsGo()
{
    QFETCH(QString, before);
    QFETCH(QString, fileName);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, replaced);

    ReadingTable packet;
    ReadingTable::Row r;
    r.no = 42;
    r.value = u"9.999"_qs;
    packet.append(r);
    const QString file = path(fileName);
    QVERIFY(TableFiles::save(packet, file));

    Window w;
    if (before != u"empty") {
        w.record(1);
        w.record(2);
    }
    if (before == u"saved")
        w.save(path(u"kept.xml"_qs));
    if (before == u"loaded") {
        QVERIFY(TableFiles::save(w.table(), path(u"kept.xml"_qs)));
        w.t.prompts.questionAnswers << true;
        w.open(path(u"kept.xml"_qs));
    }
    QCOMPARE(w.recorder().hasUnsavedRows(), before == u"recorded");
    const QStringList rowsBefore = [&] {
        QStringList values;
        for (qsizetype i = 0; i < w.table().rowCount(); ++i)
            values << w.table().text(i, ReadingTable::Value);
        return values;
    }();
    w.t.prompts.clear();
    w.t.prompts.questionAnswers << answer;

    w.open(file);
    QCOMPARE(w.t.prompts.texts(u"question"_qs),
             asked ? QStringList {DataFiles::replaceQuestion()} : QStringList {});
    QCOMPARE(w.t.prompts.texts(u"error"_qs), QStringList {});
    QStringList values;
    for (qsizetype i = 0; i < w.table().rowCount(); ++i)
        values << w.table().text(i, ReadingTable::Value);
    if (replaced)
        QCOMPARE(values, QStringList {u"9.999"_qs});
    else if (fileName.endsWith(u".txt"_qs))
        QCOMPARE(values, rowsBefore + QStringList {u"9.999"_qs});
    else
        QCOMPARE(values, rowsBefore);
    QCOMPARE(w.grid()->model()->rowCount(), values.size());
    QCOMPARE(w.recorder().hasUnsavedRows(), !replaced);
}

QTEST_MAIN(TestDataFilesWindow)
#include "tst_datafiles_window.moc"
