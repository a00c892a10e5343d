#include "recording/ReadingTable.h"

namespace {

QString cut(const QString &text)
{
    return text.size() > ReadingTable::TextLength ? text.left(ReadingTable::TextLength) : text;
}

} // namespace

const QStringList &ReadingTable::fieldNames()
{
    static const QStringList names{u"No"_qs,   u"Time"_qs, u"DC/AC"_qs, u"Value"_qs,
                                   u"Unit"_qs, u"Range"_qs, u"Auto"_qs, u"Nval"_qs};
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

void ReadingTable::append(const Row &row)
{
    Stored s{};
    s.no = row.no.value_or(0);
    s.nval = row.nval.value_or(0);
    s.nulls = std::uint8_t((row.no ? 0 : 1) | (row.nval ? 0 : 2));
    const QString *texts[] = {&row.time, &row.dcAc, &row.value, &row.unit, &row.range,
                              &row.autoText};
    for (int i = 0; i < 6; ++i)
        s.texts[i] = m_pools[i].intern(cut(*texts[i]));
    m_rows.push_back(s);
}

QString ReadingTable::text(qsizetype index, Field f) const
{
    const Stored &s = m_rows[size_t(index)];
    if (f == No)
        return s.nulls & 1 ? QString() : QString::number(s.no);
    if (f == Nval)
        return s.nulls & 2 ? QString() : QString::number(s.nval);
    const int pool = int(f) - int(Time);
    return m_pools[pool].texts[s.texts[pool]];
}

std::optional<qint32> ReadingTable::integer(qsizetype index, Field f) const
{
    const Stored &s = m_rows[size_t(index)];
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
    std::vector<Stored>().swap(m_rows);
    m_pools = {};
}

qsizetype ReadingTable::memoryUsed() const
{
    qsizetype bytes = qsizetype(m_rows.capacity() * sizeof(Stored));
    for (const Pool &p : m_pools) {
        for (const QString &t : p.texts)
            bytes += qsizetype(sizeof(QString)) + t.capacity() * 2 + 16;
        bytes += p.index.size() * qsizetype(sizeof(QString) + sizeof(std::uint32_t) + 16);
    }
    return bytes;
}
