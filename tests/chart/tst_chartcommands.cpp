#include "chart/ChartCommands.h"
#include "chart/ChartControl.h"
#include "chart/ChartView.h"
#include "meter/MeterDisplay.h"
#include "support/ClickLabel.h"
#include "support/FileTargets.h"
#include "support/TestWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

// The chart toolbar through real clicks and keys in the real window.
class TestChartCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pagingOnAnEmptyChart();
    void pagingThroughClicks();
    void hiddenMenuReachesTheSameHandlers();
    void pageSizeAppliesOnceAfterTyping();
    void pageSizeRefusals_data();
    void pageSizeRefusals();
    void refusedPageSizeShowsTheSizeInForce();
    void fill();
    void enlargeAndRestore();
    void saveAsBitmap();
    void saveAsksAboutTheCompletedName_data();
    void saveAsksAboutTheCompletedName();
    void saveFailureIsReported();
    void saveFollowsTheWriterRule_data();
    void saveFollowsTheWriterRule();
    void readingsReachTheChart();
};

namespace {

struct Window
{
    TestWindow t;
    Window()
    {
        t.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(t.window.get()));
    }
    ChartControl &chart() { return t.window->chartControl(); }
    QString page() const { return t.find<QToolButton>(u"Bt10"_qs)->text(); }
    void click(const char16_t *name)
    {
        QWidget *w = t.find<QWidget>(QString::fromUtf16(name));
        QVERIFY(w);
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    }
    void show(const QString &frame) { QVERIFY(!t.showFrame(frame)); }
    // The chart as it shows with its toolbar out of the way.
    QImage chartAlone()
    {
        QWidget *toolBar = t.find<QWidget>(u"ChartToolBar"_qs);
        toolBar->hide();
        const QImage alone = t.find<QWidget>(u"Chtshow"_qs)->grab().toImage();
        toolBar->show();
        return alone;
    }
};

} // namespace

void TestChartCommands::pagingOnAnEmptyChart()
{
    Window w;
    for (const char16_t *button : {u"BtFirst", u"BTPrevious", u"BtNext", u"BTlast"}) {
        w.click(button);
        QCOMPARE(w.page(), u"1"_qs);
    }
}

void TestChartCommands::pagingThroughClicks()
{
    Window w;
    for (int i = 0; i < 250; ++i)
        w.show(u"A00012340010D"_qs);
    QCOMPARE(w.page(), u"3"_qs); // 251 points in pages of 100
    w.click(u"BtFirst");
    QCOMPARE(w.page(), u"1"_qs);
    w.click(u"BTPrevious");
    QCOMPARE(w.page(), u"1"_qs);
    w.click(u"BtNext");
    QCOMPARE(w.page(), u"2"_qs);
    // Browsing: new readings do not move the view.
    w.show(u"A00012340010D"_qs);
    QCOMPARE(w.page(), u"2"_qs);
    w.click(u"BTlast");
    QCOMPARE(w.page(), u"3"_qs);
    w.click(u"BTPrevious");
    QCOMPARE(w.page(), u"2"_qs);
}

void TestChartCommands::hiddenMenuReachesTheSameHandlers()
{
    Window w;
    for (int i = 0; i < 150; ++i)
        w.show(u"A00012340010D"_qs);
    w.t.find<QAction>(u"First1"_qs)->trigger();
    QCOMPARE(w.page(), u"1"_qs);
    w.t.find<QAction>(u"Next1"_qs)->trigger();
    QCOMPARE(w.page(), u"2"_qs);
    w.t.find<QAction>(u"Previous1"_qs)->trigger();
    QCOMPARE(w.page(), u"1"_qs);
    w.t.find<QAction>(u"Last1"_qs)->trigger();
    QCOMPARE(w.page(), u"2"_qs);
}

void TestChartCommands::pageSizeAppliesOnceAfterTyping()
{
    Window w;
    for (int i = 0; i < 120; ++i)
        w.show(u"A00012340010D"_qs);
    auto *edit = w.t.find<QLineEdit>(u"Maxrecord"_qs);
    auto *timer = w.t.find<QTimer>(u"Timer2"_qs);
    edit->selectAll();
    QTest::keyClicks(edit, u"50"_qs);
    QCOMPARE(edit->text(), u"50"_qs);
    QVERIFY(timer->isActive());
    QCOMPARE(w.chart().PageSize(), 100); // not yet
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 5000);
    QCOMPARE(w.chart().PageSize(), 50);
    QCOMPARE(w.page(), u"3"_qs); // 121 points in pages of 50: the last page
    QVERIFY(w.t.prompts.shown.isEmpty());
}

void TestChartCommands::pageSizeRefusals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QString() << u"'' is not a valid integer value"_qs;
    QTest::newRow("zero") << u"0"_qs
                          << u"A chart page holds at least 1 point; the page size stays 100."_qs;
}

void TestChartCommands::pageSizeRefusals()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    Window w;
    auto *edit = w.t.find<QLineEdit>(u"Maxrecord"_qs);
    edit->setText(text);
    QTRY_COMPARE_WITH_TIMEOUT(w.t.prompts.texts(u"applicationError"_qs), QStringList {message},
                              5000);
    QVERIFY(!w.t.find<QTimer>(u"Timer2"_qs)->isActive());
    QCOMPARE(w.chart().PageSize(), 100);
}

void TestChartCommands::refusedPageSizeShowsTheSizeInForce()
{
    Window w;
    auto *edit = w.t.find<QLineEdit>(u"Maxrecord"_qs);
    auto *timer = w.t.find<QTimer>(u"Timer2"_qs);
    edit->selectAll();
    QTest::keyClicks(edit, u"50"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 5000);
    QCOMPARE(w.chart().PageSize(), 50);

    edit->selectAll();
    QTest::keyClicks(edit, u"00"_qs);
    QTRY_COMPARE_WITH_TIMEOUT(w.t.prompts.texts(u"applicationError"_qs).size(), 1, 5000);
    QCOMPARE(edit->text(), u"50"_qs);
    QCOMPARE(w.chart().PageSize(), 50);
    QVERIFY(!timer->isActive());

    // The edit goes on taking sizes.
    edit->selectAll();
    QTest::keyClicks(edit, u"7"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(!timer->isActive(), 5000);
    QCOMPARE(w.chart().PageSize(), 7);
    QCOMPARE(w.t.prompts.texts(u"applicationError"_qs).size(), 1);
}

void TestChartCommands::fill()
{
    Window w;
    auto *box = w.t.find<QCheckBox>(u"BtFill"_qs);
    auto *item = w.t.find<QAction>(u"Fill1"_qs);
    QVERIFY(w.chart().FillOn());
    box->click();
    QVERIFY(!w.chart().FillOn());
    item->trigger(); // the menu item ticks both again
    QVERIFY(box->isChecked());
    QVERIFY(item->isChecked());
    QVERIFY(w.chart().FillOn());
    item->trigger();
    QVERIFY(!box->isChecked());
    QVERIFY(!item->isChecked());
    QVERIFY(!w.chart().FillOn());
    // The Repeat box shares the handler: it re-applies the Fill state and changes nothing.
    w.t.find<QCheckBox>(u"RepeatSet"_qs)->click();
    QVERIFY(!w.chart().FillOn());
}

void TestChartCommands::enlargeAndRestore()
{
    Window w;
    QWidget *chart = w.t.find<QWidget>(u"Chtshow"_qs);
    QWidget *client = w.t.window->centralWidget();
    w.click(u"TbFd");
    QCOMPARE(chart->geometry(), ChartCommands::enlargedPlace());
    QVERIFY(QRect(0, 0, 809, 532).contains(chart->geometry()));
    QVERIFY(!w.t.find<QWidget>(u"Panel1"_qs)->isVisible());
    QVERIFY(!w.t.find<QWidget>(u"GroupBox1"_qs)->isVisible());
    QVERIFY(w.t.find<QWidget>(u"TbSx"_qs)->isVisible());
    QVERIFY(!w.t.find<QWidget>(u"TbFd"_qs)->isVisible());
    // In front of the dial, the bar graph and the table, which stay where they were.
    for (const char16_t *name : {u"KD", u"PBar2", u"DBGrid1"}) {
        QWidget *other = w.t.find<QWidget>(QString::fromUtf16(name));
        QVERIFY(other->isVisible());
        QWidget *top = client->childAt(other->geometry().center());
        QVERIFY2(top == chart || chart->isAncestorOf(top), qPrintable(QString::fromUtf16(name)));
    }
    w.click(u"TbSx");
    QCOMPARE(chart->geometry(), QRect(432, 177, 373, 353));
    QVERIFY(w.t.find<QWidget>(u"Panel1"_qs)->isVisible());
    QVERIFY(w.t.find<QWidget>(u"GroupBox1"_qs)->isVisible());
    QVERIFY(w.t.find<QWidget>(u"TbFd"_qs)->isVisible());
}

void TestChartCommands::saveAsBitmap()
{
    Window w;
    for (int i = 0; i < 30; ++i)
        w.show(u"A00012340010D"_qs);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"chart.bmp"_qs);

    w.click(u"BtSave"); // cancelled: nothing happens
    QCOMPARE(w.t.prompts.texts(u"savePicture"_qs), QStringList {u"Bitmaps (*.bmp)|*.bmp"_qs});
    QVERIFY(!QFile::exists(file));

    w.t.prompts.fileAnswers = {file};
    w.click(u"BtSave");
    QCOMPARE(w.t.prompts.fileDialogs.last().defaultExtension, u"bmp"_qs);
    QVERIFY(w.t.prompts.fileDialogs.last().confirmOverwrite);
    QCOMPARE(w.t.prompts.texts(u"information"_qs),
             QStringList {u"Graphic has saved on "_qs + file});
    QImageReader reader(file);
    QCOMPARE(reader.format(), QByteArray("bmp"));
    const QImage saved = reader.read();
    QCOMPARE(saved.size(), QSize(373, 353));
    // The chart alone, without the toolbar laid over its top strip.
    QWidget *chart = w.t.find<QWidget>(u"Chtshow"_qs);
    QVERIFY(chart->isAncestorOf(w.t.find<QWidget>(u"ChartToolBar"_qs)));
    QVERIFY(saved != chart->grab().toImage().convertToFormat(saved.format()));
    QCOMPARE(saved, w.chartAlone().convertToFormat(saved.format()));
}

void TestChartCommands::saveAsksAboutTheCompletedName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("replace"); // the answer to the question, when it comes
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("written");
    QTest::newRow("existing name without extension, No") << u"chart"_qs << false << true << false;
    QTest::newRow("existing name without extension, Yes") << u"chart"_qs << true << true << true;
    QTest::newRow("existing name as the dialog asked about it")
        << u"chart.bmp"_qs << false << false << true;
    QTest::newRow("new name without extension") << u"other"_qs << false << false << true;
}

// The dialog hands back the name as typed; the picture is saved under the name with its
// extension, and an existing file of that name is replaced only after a Yes.
void TestChartCommands::saveAsksAboutTheCompletedName()
{
    QFETCH(QString, typed);
    QFETCH(bool, replace);
    QFETCH(bool, asked);
    QFETCH(bool, written);
    Window w;
    w.show(u"A00012340010D"_qs);
    QTemporaryDir dir;
    const QString existing = dir.filePath(u"chart.bmp"_qs);
    const QByteArray earlier = "earlier picture";
    {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(earlier) == earlier.size());
    }
    const QString final = dir.filePath(typed.endsWith(u".bmp"_qs) ? typed : typed + u".bmp"_qs);

    w.t.prompts.fileAnswers = {dir.filePath(typed)};
    w.t.prompts.questionAnswers = {replace};
    w.click(u"BtSave");

    const QStringList questions = w.t.prompts.texts(u"question"_qs);
    QCOMPARE(questions,
             asked ? QStringList {u"chart.bmp already exists.\nDo you want to replace it?"_qs}
                   : QStringList {});
    if (asked && !replace) {
        // Back to the dialog with the completed name; cancelled there.
        QCOMPARE(w.t.prompts.fileDialogs.size(), 2);
        QCOMPARE(w.t.prompts.fileDialogs.last().fileName, existing);
    }
    QCOMPARE(w.t.prompts.texts(u"information"_qs),
             written ? QStringList {u"Graphic has saved on "_qs + final} : QStringList {});
    if (final == existing) {
        QFile f(existing);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll() == earlier, !written);
    } else {
        QCOMPARE(QImageReader(final).format(), QByteArray("bmp"));
        QVERIFY(!QFile::exists(dir.filePath(typed)));
    }
}

void TestChartCommands::saveFailureIsReported()
{
    Window w;
    w.t.prompts.fileAnswers = {u"/nonexistent-folder/chart.bmp"_qs};
    w.click(u"BtSave");
    QTRY_COMPARE(w.t.prompts.texts(u"applicationError"_qs).size(), 1);
    QVERIFY(
        w.t.prompts.texts(u"applicationError"_qs)[0].contains(u"/nonexistent-folder/chart.bmp"_qs));
    QVERIFY(w.t.prompts.texts(u"information"_qs).isEmpty());
}

void TestChartCommands::saveFollowsTheWriterRule_data()
{
    QTest::addColumn<QString>("target"); // what chart.bmp is before the picture is saved
    QTest::newRow("FIFO") << u"FIFO"_qs;
    QTest::newRow("link to a file") << u"link"_qs;
    QTest::newRow("earlier picture, disk full part way") << u"file"_qs;
}

// A FIFO gets the picture and stays a FIFO, a link stays a link and its file gets the picture,
// and a failed save leaves an earlier picture as it was.
void TestChartCommands::saveFollowsTheWriterRule()
{
    QFETCH(QString, target);
    Window w;
    for (int i = 0; i < 30; ++i)
        w.show(u"A00012340010D"_qs);
    QTemporaryDir dir;
    const QString file = dir.filePath(u"chart.bmp"_qs);
    const QString real = dir.filePath(u"real/chart.bmp"_qs);
    const QByteArray earlier = "earlier picture";
    std::unique_ptr<FifoReader> fifo;
    if (target == u"FIFO"_qs) {
        fifo = std::make_unique<FifoReader>(file);
        QVERIFY(fifo->isValid());
    } else if (target == u"link"_qs) {
        QVERIFY(QDir().mkpath(dir.filePath(u"real"_qs)));
        QVERIFY(QFile::link(real, file));
    } else {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(earlier), earlier.size());
    }

    w.t.prompts.fileAnswers = {file};
    {
        std::optional<FileSizeLimit> limit; // the picture is some 400 KB
        if (target == u"file"_qs)
            limit.emplace(64 * 1024);
        w.click(u"BtSave");
    }
    QCOMPARE(fileKind(file), target);
    if (target == u"file"_qs) {
        QTRY_COMPARE(w.t.prompts.texts(u"applicationError"_qs).size(), 1);
        const QString message = w.t.prompts.texts(u"applicationError"_qs)[0];
        QVERIFY2(message.startsWith(u"The chart could not be saved to "_qs + file + u": "_qs),
                 qPrintable(message));
        QVERIFY(w.t.prompts.texts(u"information"_qs).isEmpty());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), earlier);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList {u"chart.bmp"_qs});
        return;
    }
    QCOMPARE(w.t.prompts.texts(u"information"_qs),
             QStringList {u"Graphic has saved on "_qs + file});
    QByteArray bytes;
    if (fifo) {
        bytes = fifo->bytes();
    } else {
        QFile f(real);
        QVERIFY(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    const QImage saved = QImage::fromData(bytes, "BMP");
    QCOMPARE(saved.size(), QSize(373, 353));
    QCOMPARE(saved, w.chartAlone().convertToFormat(saved.format()));
}

void TestChartCommands::readingsReachTheChart()
{
    Window w;
    MeterDisplay &display = w.t.window->display();
    const struct
    {
        const char16_t *frame;
        int chartValue;
        int needle;
    } cases[] = {
        {u"A00039990010D", 3999, 799},  {u"A00039990410D", -3999, 1}, {u"A00100000100D", 4000, 800},
        {u"A00100000500D", -4000, 0},   {u"A11000250000D", 25, 1025}, {u"A11000250001D", 0, 0},
        {u"A22100000100D", 1000, 2000}, {u"A00000000010D", 0, 400},
    };
    qint64 points = w.chart().Chart().pointCount(0);
    for (const auto &c : cases) {
        w.show(QString::fromUtf16(c.frame));
        QCOMPARE(display.chartValue(), c.chartValue);
        QCOMPARE(display.needlePosition(), c.needle);
        QCOMPARE(w.chart().Chart().pointCount(0), ++points);
    }
    // With Repeat unchecked a repeated reading reaches neither the table nor the chart.
    w.t.find<QCheckBox>(u"RepeatSet"_qs)->click();
    w.t.window->state().counters.LastRecordKey = w.t.window->state().reading.readingKey();
    w.show(u"A00000000010D"_qs);
    QCOMPARE(w.chart().Chart().pointCount(0), points);
}

QTEST_MAIN(TestChartCommands)
#include "tst_chartcommands.moc"
