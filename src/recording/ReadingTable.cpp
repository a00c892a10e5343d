#include "recording/ReadingTable.h"

#include <new>

namespace {

QString cut(const QString &text)
{
    if (text.size() <= ReadingTable::TextLength)
        return text;
    // A character in two halves (a surrogate pair) is kept whole or left out whole.
    qsizetype length = ReadingTable::TextLength;
    if (text[length - 1].isHighSurrogate() && text[length].isLowSurrogate())
        --length;
    return text.left(length);
}

// A time stamp "hh:mm:ss" (any one separator character) is kept in the row itself instead of in
// the Time pool: bit 31 marks it, bits 0..16 hold the second of the day and bits 17..30 the
// separator. A day of readings would otherwise put 86400 texts into the pool.
constexpr std::uint32_t PackedTime = 0x80000000u;

bool isTwoDigits(QChar a, QChar b, int limit)
{
    return a >= u'0' && a <= u'9' && b >= u'0' && b <= u'9'
        && (a.unicode() - u'0') * 10 + (b.unicode() - u'0') < limit;
}

std::optional<std::uint32_t> packTime(const QString &t)
{
    if (t.size() != 8 || t[2] != t[5] || t[2].unicode() >= 0x4000 || t[2].isDigit())
        return std::nullopt;
    if (!isTwoDigits(t[0], t[1], 24) || !isTwoDigits(t[3], t[4], 60)
        || !isTwoDigits(t[6], t[7], 60))
        return std::nullopt;
    auto two = [&t](int i) {
        return std::uint32_t((t[i].unicode() - u'0') * 10 + (t[i + 1].unicode() - u'0'));
    };
    const std::uint32_t seconds = two(0) * 3600 + two(3) * 60 + two(6);
    return PackedTime | (std::uint32_t(t[2].unicode()) << 17) | seconds;
}

QString unpackTime(std::uint32_t packed)
{
    const std::uint32_t seconds = packed & 0x1FFFF;
    const QChar separator(char16_t((packed >> 17) & 0x3FFF));
    const std::uint32_t parts[] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
    QString text(8, separator);
    for (int i = 0; i < 3; ++i) {
        text[i * 3] = QChar(char16_t(u'0' + parts[i] / 10));
        text[i * 3 + 1] = QChar(char16_t(u'0' + parts[i] % 10));
    }
    return text;
}

} // namespace

const QStringList &ReadingTable::fieldNames()
{
    static const QStringList names {u"No"_qs,   u"Time"_qs,  u"DC/AC"_qs, u"Value"_qs,
                                    u"Unit"_qs, u"Range"_qs, u"Auto"_qs,  u"Nval"_qs};
    return names;
}

std::optional<ReadingTable::Field> ReadingTable::fieldByName(QStringView name)
{
    const QStringList &names = fieldNames();
    for (int i = 0; i < names.size(); ++i)
        if (name.compare(names[i], Qt::CaseInsensitive) == 0)
            return Field(i);
    return std::nullopt;
}

QString ReadingTable::Row::text(Field f) const
{
    switch (f) {
    case No:
        return no ? QString::number(*no) : QString();
    case Time:
        return time;
    case DcAc:
        return dcAc;
    case Value:
        return value;
    case Unit:
        return unit;
    case Range:
        return range;
    case Auto:
        return autoText;
    case Nval:
        return nval ? QString::number(*nval) : QString();
    case FieldCount:
        break;
    }
    return {};
}

void ReadingTable::Row::setText(Field f, const QString &text)
{
    switch (f) {
    case Time:
        time = cut(text);
        break;
    case DcAc:
        dcAc = cut(text);
        break;
    case Value:
        value = cut(text);
        break;
    case Unit:
        unit = cut(text);
        break;
    case Range:
        range = cut(text);
        break;
    case Auto:
        autoText = cut(text);
        break;
    case No:
    case Nval:
    case FieldCount:
        break;
    }
}

std::uint32_t ReadingTable::Pool::intern(const QString &text)
{
    if (text.isEmpty())
        return EmptyText;
    const auto it = index.constFind(text);
    if (it != index.cend())
        return *it;
    const auto id = std::uint32_t(texts.size());
    texts.append(text);
    index.insert(text, id);
    return id;
}

bool ReadingTable::append(const Row &row)
{
    try {
        appendStored(row);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

void ReadingTable::appendStored(const Row &row)
{
    Stored s {};
    s.no = row.no.value_or(0);
    s.nval = row.nval.value_or(0);
    s.nulls = std::uint8_t((row.no ? 0 : 1) | (row.nval ? 0 : 2));
    const QString *texts[]
        = {&row.time, &row.dcAc, &row.value, &row.unit, &row.range, &row.autoText};
    const std::optional<std::uint32_t> packed = packTime(row.time);
    s.texts[0] = packed ? *packed : m_pools[0].intern(cut(row.time));
    for (int i = 1; i < 6; ++i)
        s.texts[i] = m_pools[i].intern(cut(*texts[i]));
    if (m_count == qsizetype(m_chunks.size()) * ChunkRows) {
        if (m_blockLimit > 0 && qsizetype(m_chunks.size()) >= m_blockLimit)
            throw std::bad_alloc();
        m_chunks.push_back(std::make_unique_for_overwrite<Stored[]>(size_t(ChunkRows)));
    }
    m_chunks.back()[size_t(m_count % ChunkRows)] = s;
    ++m_count;
}

QString ReadingTable::text(qsizetype index, Field f) const
{
    const Stored &s = stored(index);
    if (f == No)
        return s.nulls & 1 ? QString() : QString::number(s.no);
    if (f == Nval)
        return s.nulls & 2 ? QString() : QString::number(s.nval);
    const int pool = int(f) - int(Time);
    const std::uint32_t id = s.texts[pool];
    if (f == Time && (id & PackedTime))
        return unpackTime(id);
    return m_pools[pool].texts[id];
}

std::optional<qint32> ReadingTable::integer(qsizetype index, Field f) const
{
    const Stored &s = stored(index);
    if (f == No && !(s.nulls & 1))
        return s.no;
    if (f == Nval && !(s.nulls & 2))
        return s.nval;
    return std::nullopt;
}

ReadingTable::Row ReadingTable::row(qsizetype index) const
{
    Row r;
    r.no = integer(index, No);
    r.nval = integer(index, Nval);
    r.time = text(index, Time);
    r.dcAc = text(index, DcAc);
    r.value = text(index, Value);
    r.unit = text(index, Unit);
    r.range = text(index, Range);
    r.autoText = text(index, Auto);
    return r;
}

void ReadingTable::clear()
{
    std::vector<std::unique_ptr<Stored[]>>().swap(m_chunks);
    m_count = 0;
    m_pools = {};
}

qsizetype ReadingTable::memoryUsed() const
{
    qsizetype bytes = qsizetype(m_chunks.size()) * ChunkRows * qsizetype(sizeof(Stored))
        + qsizetype(m_chunks.capacity() * sizeof(m_chunks[0]));
    for (const Pool &p : m_pools) {
        for (const QString &t : p.texts)
            bytes += qsizetype(sizeof(QString)) + t.capacity() * 2 + 16;
        bytes += p.index.size() * qsizetype(sizeof(QString) + sizeof(std::uint32_t) + 16);
    }
    return bytes;
}
