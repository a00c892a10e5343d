#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The table of recorded readings: eight fields per row, in this order: No, Time, DC/AC, Value,
// Unit, Range, Auto, Nval. It may hold ten million rows, so a row is stored as two integers and
// six references into per-field pools of the distinct texts (a meter repeats its texts: a few
// functions, units and ranges, at most a day of time stamps, a few thousand values).
class ReadingTable
{
public:
    enum Field { No, Time, DcAc, Value, Unit, Range, Auto, Nval, FieldCount };
    static constexpr int TextLength = 20; // longer texts keep their first 20 characters

    static const QStringList &fieldNames(); // "No", "Time", "DC/AC", ...
    // Field by name, any letter case; nullopt for an unknown name.
    static std::optional<Field> fieldByName(QStringView name);
    static bool isIntegerField(Field f) { return f == No || f == Nval; }

    // One row as values: texts for the text fields, numbers (or nothing) for No and Nval.
    struct Row
    {
        std::optional<qint32> no;
        QString time, dcAc, value, unit, range, autoText;
        std::optional<qint32> nval;

        QString text(Field f) const; // the field as text ("" for an empty number)
        void setText(Field f, const QString &text); // integer fields: caller converts first
        friend bool operator==(const Row &, const Row &) = default;
    };

    qsizetype rowCount() const { return m_count; }
    // False when memory (or the block limit) runs out: the table stays as it was.
    bool append(const Row &row);
    // At most this many blocks of rows (0: no limit); appending beyond fails as when memory
    // runs out, so running short can be tried without exhausting the machine.
    void setBlockLimit(qsizetype blocks) { m_blockLimit = blocks; }
    Row row(qsizetype index) const;
    QString text(qsizetype index, Field f) const;
    std::optional<qint32> integer(qsizetype index, Field f) const;
    void clear();

    // Bytes held by rows and pools together (an estimate of the heap in use).
    qsizetype memoryUsed() const;

    // Rows live in blocks of this many: growing never copies the rows already held and never
    // keeps more than one block of spare room (a doubling vector may hold twice what it needs).
    static constexpr qsizetype ChunkRows = 16384;

private:
    static constexpr std::uint32_t EmptyText = 0;
    struct Stored
    {
        qint32 no;
        qint32 nval;
        std::array<std::uint32_t, 6> texts; // Time .. Auto, as pool indexes (0: empty)
        std::uint8_t nulls; // bit 0: No empty, bit 1: Nval empty
    };

    struct Pool
    {
        QVector<QString> texts {QString()};
        QHash<QString, std::uint32_t> index;
        std::uint32_t intern(const QString &text);
    };

    void appendStored(const Row &row);
    const Stored &stored(qsizetype index) const
    {
        return m_chunks[size_t(index / ChunkRows)][size_t(index % ChunkRows)];
    }

    std::vector<std::unique_ptr<Stored[]>> m_chunks;
    qsizetype m_count = 0;
    qsizetype m_blockLimit = 0;
    std::array<Pool, 6> m_pools;
};
