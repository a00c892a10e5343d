#include "support/ReadingBatch.h"

#include <QTest>
#include <memory>

class TestReadingBatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void outsideABatchWorkRunsAtOnce();
    void workWaitsForTheOutermostEndAndRunsOncePerOwner();
    void workOfAnOwnerGoneMeanwhileIsDropped();
    void workAtTheEndMayOpenABatchOfItsOwn();
};

void TestReadingBatch::outsideABatchWorkRunsAtOnce()
{
    QObject owner;
    int runs = 0;
    ReadingBatch::atEnd(&owner, [&] { ++runs; });
    ReadingBatch::atEnd(&owner, [&] { ++runs; });
    QCOMPARE(runs, 2);
    QVERIFY(!ReadingBatch::isOpen());
}

void TestReadingBatch::workWaitsForTheOutermostEndAndRunsOncePerOwner()
{
    QObject grid, chart;
    QStringList ran;
    {
        const ReadingBatch::Scope outer;
        for (int frame = 1; frame <= 3; ++frame) {
            const ReadingBatch::Scope inner;
            ReadingBatch::atEnd(&grid, [&ran, frame] { ran << u"grid %1"_qs.arg(frame); });
        }
        ReadingBatch::atEnd(&chart, [&] { ran << u"chart"_qs; });
        QVERIFY(ran.isEmpty());
        QVERIFY(ReadingBatch::isOpen());
    }
    // The last work asked of each owner, in the order the owners first asked.
    QCOMPARE(ran, (QStringList {u"grid 3"_qs, u"chart"_qs}));
    QVERIFY(!ReadingBatch::isOpen());
}

void TestReadingBatch::workOfAnOwnerGoneMeanwhileIsDropped()
{
    int runs = 0;
    {
        const ReadingBatch::Scope batch;
        auto owner = std::make_unique<QObject>();
        ReadingBatch::atEnd(owner.get(), [&] { ++runs; });
        owner.reset();
    }
    QCOMPARE(runs, 0);
}

void TestReadingBatch::workAtTheEndMayOpenABatchOfItsOwn()
{
    QObject first, second;
    QStringList ran;
    {
        const ReadingBatch::Scope batch;
        ReadingBatch::atEnd(&first, [&] {
            const ReadingBatch::Scope own;
            ReadingBatch::atEnd(&second, [&] { ran << u"second"_qs; });
            ran << u"first"_qs;
        });
    }
    QCOMPARE(ran, (QStringList {u"first"_qs, u"second"_qs}));
    QVERIFY(!ReadingBatch::isOpen());
    ReadingBatch::atEnd(&first, [&] { ran << u"after"_qs; });
    QCOMPARE(ran.last(), u"after"_qs); // nothing left open
}

QTEST_GUILESS_MAIN(TestReadingBatch)
#include "tst_readingbatch.moc"
