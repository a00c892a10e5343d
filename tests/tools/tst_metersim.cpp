// The simulator's readings (decoded by the real decoder) and the metersim program on a real
// pseudo-terminal.

#include "MeterScript.h"
#include "meter/FrameDecoder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString point = u"."_qs;

// What a receiver makes of the byte stream: the low hex digit of every byte, a frame ending at
// each CR (with its "D"), at most 21 characters kept.
QStringList assembleFrames(const QByteArray &bytes)
{
    QStringList frames;
    QString digits;
    for (char byte : bytes) {
        digits.append(QLatin1Char("0123456789ABCDEF"[byte & 0xF]));
        if (byte == '\r') {
            frames.append(digits.left(21));
            digits.clear();
        }
    }
    return frames;
}

bool isWholeFrame(const QString &frame)
{
    return frame.size() == 13 && frame.front() == u'A' && frame.back() == u'D';
}

QString numberedFrame(int k)
{
    return u"A000"_qs + QString::number(k).rightJustified(4, u'0') + u"0010D"_qs;
}

QStringList numberedFrames(int n)
{
    QStringList frames;
    for (int k = 0; k < n; ++k)
        frames.append(numberedFrame(k));
    return frames;
}

// The row of the decoder's table a decoded reading came from. Temperature keeps the previous
// range text, and the 1000 nF range text is the decoder's own choice: neither is compared.
QString rowKey(const Reading &r)
{
    const bool rangeOpen
        = r.functionText == u"TMP" || (r.functionText == u"CAP" && r.rangeCode == 2);
    return r.functionText + u'|' + r.unitText + u'|' + (rangeOpen ? u"-"_qs : r.rangeText);
}

QSet<QString> everyRow()
{
    return {u"DCV|V|4 V"_qs,      u"DCV|V|40 V"_qs,     u"DCV|V|400 V"_qs,    u"DCV|V|1000 V"_qs,
            u"ACV|V|4 V"_qs,      u"ACV|V|40 V"_qs,     u"ACV|V|400 V"_qs,    u"ACV|V|1000 V"_qs,
            u"DCmv|mV|400 mv"_qs, u"DCmv|mV|40 mv"_qs,  u"TMP|#|-"_qs,        u"TMP|?|-"_qs,
            u"OHM|*|400 *"_qs,    u"OHM|K *|4k *"_qs,   u"OHM|K *|40 k *"_qs, u"OHM|K *|400k *"_qs,
            u"OHM|M *|4M *"_qs,   u"OHM|M *|40 M *"_qs, u"CTN||400"_qs,       u"CAP|nF|10 nF"_qs,
            u"CAP|nF|100 nF"_qs,  u"CAP|nF|-"_qs,       u"CAP|uF|10 uF"_qs,   u"CAP|uF|100 uF"_qs,
            u")|v|4v"_qs,         u"DCmA|mA|40 mA"_qs,  u"DCmA|mA|400 mA"_qs, u"ACmA|mA|40mA"_qs,
            u"ACmA|mA|400mA"_qs,  u"DCuA|uA|400uA"_qs,  u"DCuA|uA|4000uA"_qs, u"ACuA|uA|400uA"_qs,
            u"ACuA|uA|4000uA"_qs, u"DCA|A|4A"_qs,       u"DCA|A|10A"_qs,      u"ACA|A|4A"_qs,
            u"ACA|A|10A"_qs,      u"RPM||4CYL"_qs,      u"RPM||6CYL"_qs,      u"RPM||8CYL"_qs,
            u"DWL|<|4CYL"_qs,     u"DWL|<|6CYL"_qs,     u"DWL|<|8CYL"_qs,     u"FRQ|Hz|40Hz"_qs,
            u"FRQ|Hz|400Hz"_qs,   u"FRQ|kHz|4kHz"_qs,   u"FRQ|kHz|40kHz"_qs,  u"FRQ|kHz|400kHz"_qs,
            u"FRQ|MHz|4MHz"_qs};
}

QString decodeError(const FrameDecoder::Result &result)
{
    return result ? result->message() : QString();
}

// The decoded flags, in the order of the status digits, against the simulated ones.
QString flagsOf(const Reading &r)
{
    const bool flags[] = {r.highVoltage, r.negative, r.lowBattery, r.overload,    r.hold,
                          r.maxMode,     r.minMode,  r.autoRange,  r.manualRange, r.openInput};
    QString text;
    for (bool f : flags)
        text.append(f ? u'1' : u'0');
    return text;
}

QString flagsOf(const SimReading &s)
{
    const SimReading::Flag flags[]
        = {SimReading::HighVoltage, SimReading::Negative,  SimReading::LowBattery,
           SimReading::Overload,    SimReading::Hold,      SimReading::MaxMode,
           SimReading::MinMode,     SimReading::AutoRange, SimReading::ManualRange,
           SimReading::OpenInput};
    QString text;
    for (auto f : flags)
        text.append(s.has(f) ? u'1' : u'0');
    return text;
}

constexpr quint16 freezing = SimReading::Hold | SimReading::MaxMode | SimReading::MinMode
    | SimReading::Overload | SimReading::OpenInput;

// The slave side of the simulator's pty, read the way a serial port driver would.
class Line
{
public:
    explicit Line(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio {};
        if (m_fd >= 0 && tcgetattr(m_fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio); // TCSAFLUSH would throw away what is queued
        }
    }
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    // Reads until the predicate holds or the time is up; false on time-out or hang-up.
    template<typename Done> bool readUntil(Done done, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > timeoutMs || m_hungUp)
                return false;
            readSome(100);
        }
        return true;
    }

    // One wait for data; records the arrival time of every CR.
    void readSome(int waitMs)
    {
        pollfd pfd {m_fd, POLLIN, 0};
        if (poll(&pfd, 1, waitMs) <= 0)
            return;
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == '\r')
                    m_crTimesMs.append(clock->elapsed());
            }
            m_bytes.append(buffer, n);
        } else if (n == 0 || errno == EIO) {
            m_hungUp = true;
        }
    }

    const QByteArray &bytes() const { return m_bytes; }
    int readings() const { return int(m_crTimesMs.size()); }
    const QList<qint64> &crTimesMs() const { return m_crTimesMs; }
    bool hungUp() const { return m_hungUp; }

    const QElapsedTimer *clock = nullptr;

private:
    int m_fd = -1;
    QByteArray m_bytes;
    QList<qint64> m_crTimesMs;
    bool m_hungUp = false;
};

// A running metersim; the clock starts just before the process does.
class Sim
{
public:
    Sim() { m_clock.start(); }
    ~Sim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    bool start(const QStringList &arguments)
    {
        m_clock.restart();
        m_process.start(QStringLiteral(METERSIM_PATH), arguments);
        if (!m_process.waitForStarted(10000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < 20000)
            m_process.waitForReadyRead(200);
        if (!m_process.canReadLine())
            return false;
        m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return !m_path.isEmpty();
    }

    QProcess &process() { return m_process; }
    const QString &path() const { return m_path; }
    const QElapsedTimer &clock() const { return m_clock; }
    void signal(int signo) { ::kill(pid_t(m_process.processId()), signo); }

private:
    QProcess m_process;
    QElapsedTimer m_clock;
    QString m_path;
};

// Runs metersim to completion (no pty reader) and returns its exit code.
int runToEnd(const QStringList &arguments, QByteArray *out = nullptr, QByteArray *err = nullptr)
{
    QProcess process;
    process.start(QStringLiteral(METERSIM_PATH), arguments);
    if (!process.waitForFinished(60000))
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

class TestMeterSim : public QObject
{
    Q_OBJECT

private slots:
    void readingBytes_data();
    void readingBytes();
    void frameTexts_data();
    void frameTexts();
    void walkDecodesEveryRow_data();
    void walkDecodesEveryRow();
    void walkValuesMoveSmoothly();
    void scripts_data();
    void scripts();
    void explicitReadingsRepeatInOrder();
    void noise_data();
    void noise();

    void streamsWholeReadingsAtTheRate_data();
    void streamsWholeReadingsAtTheRate();
    void firstReadingIsPartialUnlessStartingWithLf_data();
    void firstReadingIsPartialUnlessStartingWithLf();
    void countEndsEvenWithoutReader();
    void linkFollowsTheLineAndGoes_data();
    void linkFollowsTheLineAndGoes();
    void linkNeverReplacesAFile();
    void endHangsUpTheLine_data();
    void endHangsUpTheLine();
    void deviceFile_data();
    void deviceFile();
    void rejectsBadOptions_data();
    void rejectsBadOptions();
    void helpNamesEveryOption();
};

void TestMeterSim::readingBytes_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("sub");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("frequencyRange");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("frame");

    QTest::newRow("dcv auto") << 0 << 0 << 0 << 1234 << 0 << int(SimReading::AutoRange)
                              << QByteArray("00012340010") << u"A00012340010D"_qs;
    QTest::newRow("negative sets its flag")
        << 0 << 0 << 0 << -1234 << 0 << int(SimReading::AutoRange) << QByteArray("00012340410")
        << u"A00012340410D"_qs;
    QTest::newRow("small value keeps leading zeros")
        << 1 << 2 << 0 << 7 << 0 << 0 << QByteArray("12000070000") << u"A12000070000D"_qs;
    QTest::newRow("frequency range digit")
        << 8 << 0 << 0 << 3999 << 5 << int(SimReading::LowBattery | SimReading::Hold)
        << QByteArray("80039995280") << u"A80039995280D"_qs;
    QTest::newRow("every status bit")
        << 7 << 1 << 2 << 0 << 0
        << int(SimReading::HighVoltage | SimReading::Overload | SimReading::MaxMode
               | SimReading::MinMode | SimReading::ManualRange | SimReading::OpenInput)
        << QByteArray("71200000969") << u"A71200000969D"_qs;
    QTest::newRow("status nibbles reach ?") << 15 << 15 << 15 << 9999 << 15 << 0xFFF
                                            << QByteArray("???9999????") << u"AFFF9999FFFFD"_qs;
}

void TestMeterSim::readingBytes()
{
    QFETCH(int, function);
    QFETCH(int, sub);
    QFETCH(int, range);
    QFETCH(int, value);
    QFETCH(int, frequencyRange);
    QFETCH(int, flags);
    QFETCH(QByteArray, data);
    QFETCH(QString, frame);

    SimReading r;
    r.function = quint8(function);
    r.sub = quint8(sub);
    r.range = quint8(range);
    r.frequencyRange = quint8(frequencyRange);
    r.setValue(value);
    r.status |= quint16(flags);

    QCOMPARE(r.dataBytes(), data);
    QCOMPARE(r.wireBytes(), data + "\r\n");
    QCOMPARE(r.frameText(), frame);
    QCOMPARE(r.count(), std::abs(value));
    // The receiver's assembly of LF + wire bytes gives the same frame.
    QCOMPARE(assembleFrames("\n" + r.wireBytes()), QStringList {frame});
}

void TestMeterSim::frameTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("frame"); // empty: rejected

    QTest::newRow("frame") << u"A00012340010D"_qs << u"A00012340010D"_qs;
    QTest::newRow("data digits") << u"00012340010"_qs << u"A00012340010D"_qs;
    QTest::newRow("lower case hex") << u"a9f0123400ecd"_qs << u"A9F0123400ECD"_qs;
    QTest::newRow("bad start marker") << u"B00012340010D"_qs << QString();
    QTest::newRow("bad end marker") << u"A00012340010A"_qs << QString();
    QTest::newRow("twelve characters") << u"A0001234001D"_qs << QString();
    QTest::newRow("ten digits") << u"0001234001"_qs << QString();
    QTest::newRow("not hex") << u"0001234G010"_qs << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestMeterSim::frameTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, frame);

    const auto reading = SimReading::fromText(text);
    QCOMPARE(reading.has_value(), !frame.isEmpty());
    if (reading)
        QCOMPARE(reading->frameText(), frame);

    QString error;
    const auto list = SimReading::parseList(QString(u"A11000250001D, "_qs + text), &error);
    QCOMPARE(list.has_value(), !frame.isEmpty());
    if (list) {
        QCOMPARE(list->size(), 2);
        QCOMPARE(list->at(1).frameText(), frame);
    } else {
        QVERIFY2(error.contains(text), qPrintable(error));
    }
}

void TestMeterSim::walkDecodesEveryRow_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2024") << 2024u;
}

void TestMeterSim::walkDecodesEveryRow()
{
    QFETCH(quint32, seed);
    auto script = MeterScript::fromName(u"walk"_qs, seed);
    QVERIFY(script);
    const int length = script->cycleLength();
    QVERIFY(length >= 3 * everyRow().size());

    for (int pass = 0; pass < 2; ++pass) {
        Reading r;
        QSet<QString> rows;
        QSet<int> functions;
        std::map<QString, int> counts; // flags and range modes seen in this pass
        for (int i = 0; i < length; ++i) {
            const SimReading sim = script->next();
            const QString frame = sim.frameText();
            const auto result = FrameDecoder::decodeFrame(r, frame, point);
            QVERIFY2(!result, qPrintable(frame + u": "_qs + decodeError(result)));
            QCOMPARE(flagsOf(r), flagsOf(sim));
            QVERIFY2(r.markersValid && !r.functionText.isEmpty(), qPrintable(frame));
            rows.insert(rowKey(r));
            functions.insert(r.functionCode);

            if (!r.overload && !r.openInput) {
                const bool thousand = r.functionText == u"CAP" || r.functionText == u"TMP";
                QVERIFY2(std::abs(r.numericValue) <= (thousand ? 1000 : 3999), qPrintable(frame));
            }
            counts[r.autoText] += 1;
            counts[u"overload"_qs] += r.overload;
            counts[u"open"_qs] += r.openInput;
            counts[u"negative"_qs] += r.negative;
            counts[u"hold"_qs] += r.hold;
            counts[u"max"_qs] += r.maxMode;
            counts[u"min"_qs] += r.minMode;
            counts[u"low battery"_qs] += r.lowBattery;
            counts[u"high voltage"_qs] += r.highVoltage;
        }
        QCOMPARE(rows, everyRow());
        QCOMPARE(functions, (QSet<int> {0, 1, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(counts[u"overload"_qs], 1);
        QCOMPARE(counts[u"open"_qs], 1);
        QVERIFY(counts[u"Auto"_qs] > length / 2);
        QVERIFY(counts[u"Manu"_qs] > 0);
        for (const char16_t *flag :
             {u"negative", u"hold", u"max", u"min", u"low battery", u"high voltage"}) {
            QVERIFY2(counts[QString::fromUtf16(flag)] > 0, qPrintable(QString::fromUtf16(flag)));
        }
    }
}

// Within each function and range the value moves, in steps that are small against the range
// it covers; held, max/min, overload and open readings are left out of the step sizes.
void TestMeterSim::walkValuesMoveSmoothly()
{
    auto script = MeterScript::fromName(u"walk"_qs, 77);
    QVERIFY(script);
    struct Row
    {
        int low = INT_MAX;
        int high = INT_MIN;
        int largestStep = 0;
        int moves = 0;
        int pairs = 0;
    };
    std::map<QString, Row> rows;
    QString previousKey;
    int previousValue = 0;
    bool previousFree = false;
    for (int i = 0; i < 20 * script->cycleLength(); ++i) {
        const SimReading s = script->next();
        const QString key = s.frameText().left(4) + s.frameText().mid(8, 1);
        const int value = s.has(SimReading::Negative) ? -s.count() : s.count();
        const bool free = (s.status & freezing) == 0;
        Row &row = rows[key];
        if (free) {
            row.low = std::min(row.low, value);
            row.high = std::max(row.high, value);
        }
        if (key == previousKey && free && previousFree) {
            row.largestStep = std::max(row.largestStep, std::abs(value - previousValue));
            row.moves += value != previousValue;
            row.pairs += 1;
        }
        previousKey = key;
        previousValue = value;
        previousFree = free;
    }
    QCOMPARE(int(rows.size()), everyRow().size());
    for (const auto &[key, row] : rows) {
        QVERIFY2(row.moves * 10 >= row.pairs * 8, qPrintable(key)); // hardly ever stands still
        QVERIFY2(row.largestStep * 10 <= (row.high - row.low) * 4, qPrintable(key));
    }
}

void TestMeterSim::scripts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("functionText");
    QTest::addColumn<QString>("unitText");
    QTest::addColumn<QString>("valueText"); // empty: a moving value
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");

    QTest::newRow("dcv") << u"dcv"_qs << u"DCV"_qs << u"V"_qs << QString() << 1000.f << 1600.f;
    QTest::newRow("ohm") << u"ohm"_qs << u"OHM"_qs << u"K *"_qs << QString() << 900.f << 1100.f;
    QTest::newRow("temp") << u"temp"_qs << u"TMP"_qs << u"#"_qs << QString() << 0.f << 120.f;
    QTest::newRow("overload") << u"overload"_qs << u"DCV"_qs << u"V"_qs << u"0.@"_qs << 4001.f
                              << 4001.f;
    QTest::newRow("open") << u"open"_qs << u"TMP"_qs << u"#"_qs << u"open"_qs << 0.f << 0.f;
}

void TestMeterSim::scripts()
{
    QFETCH(QString, name);
    QFETCH(QString, functionText);
    QFETCH(QString, unitText);
    QFETCH(QString, valueText);
    QFETCH(float, low);
    QFETCH(float, high);

    QVERIFY(MeterScript::names().contains(name));
    auto script = MeterScript::fromName(name, 5);
    auto again = MeterScript::fromName(name, 5);
    auto otherSeed = MeterScript::fromName(name, 6);
    QVERIFY(script && again && otherSeed);

    Reading r;
    QSet<float> values;
    bool seedMatters = false;
    for (int i = 0; i < 100; ++i) {
        const SimReading sim = script->next();
        QCOMPARE(again->next(), sim);
        seedMatters |= otherSeed->next() != sim;
        QVERIFY(!FrameDecoder::decodeFrame(r, sim.frameText(), point));
        QCOMPARE(r.functionText, functionText);
        QCOMPARE(r.unitText, unitText);
        QVERIFY2(r.numericValue >= low && r.numericValue <= high,
                 qPrintable(QString::number(r.numericValue)));
        if (!valueText.isEmpty())
            QCOMPARE(r.valueText, valueText);
        values.insert(r.numericValue);
    }
    QCOMPARE(seedMatters, valueText.isEmpty());
    if (valueText.isEmpty())
        QVERIFY(values.size() > 20);
    QVERIFY(!MeterScript::fromName(u"nonsense"_qs, 1));
}

void TestMeterSim::explicitReadingsRepeatInOrder()
{
    const QStringList frames {u"A00012340010D"_qs, u"AA0000000000D"_qs, u"A80012342010D"_qs};
    QString error;
    const auto readings = SimReading::parseList(frames.join(u','), &error);
    QVERIFY2(readings, qPrintable(error));
    MeterScript script = MeterScript::fromReadings(*readings);
    QCOMPARE(script.cycleLength(), 3);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(script.next().frameText(), frames[i % 3]);
}

void TestMeterSim::noise_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("probability");

    for (const QString &kind : {u"flip"_qs, u"drop-cr"_qs, u"garbage"_qs}) {
        for (double p : {0.0, 0.05, 0.5, 1.0})
            QTest::addRow("%s %g", qPrintable(kind), p) << kind << p;
    }
}

// Each kind of damage hits about the asked share of readings, does only its own damage, and the
// same seed damages the same readings.
void TestMeterSim::noise()
{
    QFETCH(QString, kind);
    QFETCH(double, probability);

    NoiseSettings settings;
    (kind == u"flip"          ? settings.flip
         : kind == u"drop-cr" ? settings.dropCr
                              : settings.garbage)
        = probability;
    NoiseInjector noise(settings, 42);
    NoiseInjector same(settings, 42);
    auto script = MeterScript::fromName(u"walk"_qs, 3);
    QVERIFY(script);

    const int n = 2000;
    int damaged = 0;
    for (int i = 0; i < n; ++i) {
        const SimReading reading = script->next();
        const QByteArray clean = reading.wireBytes();
        const QByteArray bytes = noise.wireBytes(reading);
        QCOMPARE(same.wireBytes(reading), bytes);
        if (bytes == clean)
            continue;
        ++damaged;
        if (kind == u"flip") {
            QCOMPARE(bytes.size(), clean.size());
            int differing = 0;
            for (int j = 0; j < bytes.size(); ++j) {
                differing += bytes[j] != clean[j];
                QCOMPARE(bytes[j] & 0xF0, clean[j] & 0xF0);
            }
            QCOMPARE(differing, 1);
        } else if (kind == u"drop-cr") {
            QCOMPARE(bytes, reading.dataBytes() + "\n");
        } else {
            QVERIFY(bytes.size() > clean.size() && bytes.size() <= clean.size() + 4);
            const qsizetype extra = bytes.size() - clean.size();
            bool found = false;
            for (qsizetype at = 0; at <= clean.size() && !found; ++at)
                found = QByteArray(bytes).remove(at, extra) == clean;
            QVERIFY2(found, "garbage is one inserted run");
        }
    }
    QVERIFY2(std::abs(damaged - probability * n) <= 0.05 * n, qPrintable(QString::number(damaged)));
}

void TestMeterSim::streamsWholeReadingsAtTheRate_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("readings");
    QTest::addColumn<bool>("complete");

    QTest::newRow("3 per second") << 3.0 << 5 << true;
    // At higher rates a reader that stalls on a busy machine (tests run side by side) may lose
    // readings, so only their order is checked.
    QTest::newRow("40 per second") << 40.0 << 60 << false;
    QTest::newRow("1000 per second") << 1000.0 << 2000 << false;
}

// Every reading arrives whole, in order, never ahead of its time, and --count ends the run
// with exit code 0 once the reader has everything.
void TestMeterSim::streamsWholeReadingsAtTheRate()
{
    QFETCH(double, rate);
    QFETCH(int, readings);
    QFETCH(bool, complete);

    const QStringList frames = numberedFrames(readings);
    Sim sim;
    QVERIFY(
        sim.start({u"--rate"_qs, QString::number(rate), u"--count"_qs, QString::number(readings),
                   u"--start-with-lf"_qs, u"--frames"_qs, frames.join(u',')}));
    Line line(sim.path());
    QVERIFY(line.isOpen());
    line.clock = &sim.clock();
    // Read until the simulator has ended and hung up the line.
    const int generousMs = int(readings / rate * 1000) * 10 + 30000;
    QVERIFY(!line.readUntil([] { return false; }, generousMs));
    QVERIFY(line.hungUp());
    QVERIFY(sim.process().waitForFinished(30000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);

    const QStringList received = assembleFrames(line.bytes());
    if (complete) {
        QCOMPARE(line.bytes().size(), 1 + 13 * readings);
        QCOMPARE(line.bytes().front(), '\n');
        for (int k = 0; k < readings; ++k) {
            const QByteArray reading = line.bytes().mid(1 + 13 * k, 13);
            QVERIFY(reading.endsWith("\r\n"));
            for (char c : reading.left(11))
                QVERIFY((c & 0xF0) == 0x30);
        }
        QCOMPARE(received, frames);
    }
    QVERIFY(!received.isEmpty());
    int previous = -1;
    for (qsizetype i = 0; i < received.size(); ++i) {
        // Where a stalled reader lost readings, the next one lacks the LF that began it.
        if (!complete && !isWholeFrame(received[i]))
            continue;
        const int k = int(frames.indexOf(received[i]));
        QVERIFY2(k > previous, qPrintable(received[i])); // whole, known and in order
        previous = k;
        // The simulator may run late on a busy machine, never early.
        QVERIFY2(line.crTimesMs()[i] + 1 >= qint64(k * 1000 / rate), qPrintable(received[i]));
    }
}

void TestMeterSim::firstReadingIsPartialUnlessStartingWithLf_data()
{
    QTest::addColumn<bool>("startWithLf");
    QTest::newRow("like a running meter") << false;
    QTest::newRow("--start-with-lf") << true;
}

void TestMeterSim::firstReadingIsPartialUnlessStartingWithLf()
{
    QFETCH(bool, startWithLf);
    Sim sim;
    QStringList arguments {u"--rate"_qs, u"20"_qs, u"--script"_qs, u"dcv"_qs};
    if (startWithLf)
        arguments << u"--start-with-lf"_qs;
    QVERIFY(sim.start(arguments));
    Line line(sim.path());
    line.clock = &sim.clock();
    QVERIFY(line.readUntil([&] { return line.readings() >= 3; }, 30000));

    const QStringList frames = assembleFrames(line.bytes());
    QCOMPARE(line.bytes().front() == '\n', startWithLf);
    QCOMPARE(isWholeFrame(frames.front()), startWithLf);
    if (!startWithLf)
        QCOMPARE(frames.front().size(), 12);
    for (const QString &frame : frames.mid(1))
        QVERIFY2(isWholeFrame(frame), qPrintable(frame));
}

// Nobody reads: the simulator drops what does not fit instead of blocking, and still ends.
void TestMeterSim::countEndsEvenWithoutReader()
{
    QByteArray out;
    QCOMPARE(runToEnd({u"--rate"_qs, u"5000"_qs, u"--count"_qs, u"10000"_qs}, &out), 0);
    QVERIFY(out.startsWith("/dev/pts/"));
    QCOMPARE(out.count('\n'), 1);
}

void TestMeterSim::linkFollowsTheLineAndGoes_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestMeterSim::linkFollowsTheLineAndGoes()
{
    QFETCH(int, signo);
    QTemporaryDir dir;
    const QString link = dir.filePath(u"meter"_qs);
    // A link left by an earlier run is replaced.
    QVERIFY(QFile::link(u"/dev/pts/nonexistent"_qs, link));

    Sim sim;
    QVERIFY(sim.start({u"--link"_qs, link, u"--rate"_qs, u"10"_qs}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.path());
    Line line(link);
    line.clock = &sim.clock();
    QVERIFY(line.readUntil([&] { return line.readings() >= 2; }, 30000));

    sim.signal(signo);
    QVERIFY(sim.process().waitForFinished(10000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(!QFileInfo::exists(link));
}

void TestMeterSim::linkNeverReplacesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"precious"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    QByteArray out;
    QCOMPARE(runToEnd({u"--link"_qs, path, u"--count"_qs, u"1"_qs}, &out), 1);
    QVERIFY(out.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void TestMeterSim::endHangsUpTheLine_data()
{
    QTest::addColumn<int>("signo");
    QTest::newRow("killed") << int(SIGKILL);
    QTest::newRow("terminated") << int(SIGTERM);
}

// What a reader sees when the meter's cable is pulled: the read reports the hang-up.
void TestMeterSim::endHangsUpTheLine()
{
    QFETCH(int, signo);
    Sim sim;
    QVERIFY(sim.start({u"--rate"_qs, u"50"_qs}));
    Line line(sim.path());
    line.clock = &sim.clock();
    QVERIFY(line.readUntil([&] { return line.readings() >= 2; }, 30000));

    sim.signal(signo);
    QVERIFY(sim.process().waitForFinished(10000));
    QVERIFY(!line.readUntil([] { return false; }, 10000));
    QVERIFY(line.hungUp());
}

void TestMeterSim::deviceFile_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected"); // empty: see the checks
    const QByteArray a = "00012340010\r\n";
    const QByteArray b = "00112345678\r\n";

    QTest::newRow("exact frames") << QStringList {u"--start-with-lf"_qs}
                                  << QByteArray("\n" + a + b + a + b + a);
    QTest::newRow("as from a running meter") << QStringList() << QByteArray(a + b + a + b + a);
    QTest::newRow("every CR dropped") << QStringList {u"--drop-cr"_qs, u"1"_qs}
                                      << QByteArray("00012340010\n00112345678\n00012340010\n"
                                                    "00112345678\n00012340010\n");
    QTest::newRow("garbage everywhere") << QStringList {u"--garbage"_qs, u"1"_qs} << QByteArray();
}

void TestMeterSim::deviceFile()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"stream.bin"_qs);

    QByteArray out;
    QCOMPARE(
        runToEnd(options
                     + QStringList {u"--device"_qs, path, u"--rate"_qs, u"200"_qs, u"--count"_qs,
                                    u"5"_qs, u"--frames"_qs, u"A00012340010D,00112345678"_qs},
                 &out),
        0);
    QCOMPARE(out, QFile::encodeName(path) + "\n");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    if (!expected.isEmpty()) {
        QCOMPARE(bytes, expected);
    } else {
        QVERIFY(bytes.size() >= 5 * 14);
        QVERIFY(bytes.size() <= 5 * 17);
    }
}

void TestMeterSim::rejectsBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("rate 0") << QStringList {u"--rate"_qs, u"0"_qs};
    QTest::newRow("rate text") << QStringList {u"--rate"_qs, u"fast"_qs};
    QTest::newRow("count 0") << QStringList {u"--count"_qs, u"0"_qs};
    QTest::newRow("unknown script") << QStringList {u"--script"_qs, u"acv"_qs};
    QTest::newRow("bad frame") << QStringList {u"--frames"_qs, u"A00012340010D,A0001D"_qs};
    QTest::newRow("script and frames")
        << QStringList {u"--script"_qs, u"ohm"_qs, u"--frames"_qs, u"00012340010"_qs};
    QTest::newRow("probability above 1") << QStringList {u"--noise"_qs, u"1.5"_qs};
    QTest::newRow("negative probability") << QStringList {u"--garbage"_qs, u"-0.1"_qs};
    QTest::newRow("unknown option") << QStringList {u"--speed"_qs, u"3"_qs};
    QTest::newRow("odd baud") << QStringList {u"--baud"_qs, u"1234"_qs};
}

void TestMeterSim::rejectsBadOptions()
{
    QFETCH(QStringList, arguments);
    QByteArray out;
    QByteArray err;
    QCOMPARE(runToEnd(arguments, &out, &err), 1);
    QVERIFY(out.isEmpty());
    QVERIFY(!err.isEmpty());
}

void TestMeterSim::helpNamesEveryOption()
{
    QByteArray out;
    QCOMPARE(runToEnd({u"--help"_qs}, &out), 0);
    for (const char *option :
         {"--rate", "--script", "--frames", "--count", "--seed", "--noise", "--drop-cr",
          "--garbage", "--start-with-lf", "--link", "--device", "--baud", "--verbose"})
        QVERIFY2(out.contains(option), option);
    for (const QString &name : MeterScript::names())
        QVERIFY2(out.contains(name.toLatin1()), qPrintable(name));
}

QTEST_GUILESS_MAIN(TestMeterSim)
#include "tst_metersim.moc"
