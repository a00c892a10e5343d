#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Helpers shared by the readers of the table files. Not part of the public API.
namespace FileScanning {

// The whole file in one go; false with the reason when it cannot be read.
bool readWholeFile(const QString &path, QByteArray &bytes, QString *error);

// Decoded texts of one field by their bytes. A file repeats a few functions, units, values and
// time stamps over and over, so each distinct text is decoded once and later rows share its
// QString. One cache per field keeps the few functions apart from the many time stamps. The
// table is open-addressed with small slots and the keys in one buffer: a field of many texts (a
// day of time stamps) is looked up once a row and must not chase scattered nodes.
template<QString (*Decode)(std::string_view)> class TextCache
{
public:
    const QString &text(std::string_view bytes)
    {
        if (bytes.empty())
            return m_empty;
        // A field often holds what it held in the row before: no look-up for that.
        if (m_last && bytes == key(*m_last))
            return m_texts[m_last->text];
        // A file of distinct texts only would otherwise be kept twice.
        if (m_texts.size() >= MaxEntries || m_keys.size() + bytes.size() > MaxKeyBytes)
            clear();
        if (2 * (m_texts.size() + 1) > m_slots.size())
            grow();
        const std::uint32_t h = hash(bytes);
        size_t i = h & (m_slots.size() - 1);
        for (; m_slots[i].length; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot &s = m_slots[i];
            if (s.hash == h && key(s) == bytes) {
                m_last = &s;
                return m_texts[s.text];
            }
        }
        Slot &s = m_slots[i];
        s = {h, std::uint32_t(m_keys.size()), std::uint32_t(bytes.size()),
             std::uint32_t(m_texts.size())};
        m_keys.append(bytes);
        m_texts.push_back(Decode(bytes));
        m_last = &s;
        return m_texts.back();
    }

private:
    static constexpr size_t MaxEntries = size_t(1) << 18;
    static constexpr size_t MaxKeyBytes = size_t(1) << 30;
    // Small, so that the table of a field with many texts stays in the cache.
    struct Slot
    {
        std::uint32_t hash;
        std::uint32_t offset; // of the key in m_keys
        std::uint32_t length; // 0: a free slot (the empty text is never stored)
        std::uint32_t text; // index in m_texts
    };

    std::string_view key(const Slot &s) const
    {
        return std::string_view(m_keys).substr(s.offset, s.length);
    }

    static std::uint32_t hash(std::string_view bytes)
    {
        std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes.size();
        const char *p = bytes.data();
        size_t n = bytes.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            h = (h ^ w) * 0xBF58476D1CE4E5B9ULL;
            h ^= h >> 31;
        }
        std::uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0x94D049BB133111EBULL;
        return std::uint32_t(h ^ (h >> 32));
    }

    void grow()
    {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_slots.size()), Slot {});
        old.swap(m_slots);
        for (const Slot &s : old) {
            if (!s.length)
                continue;
            size_t i = s.hash & (m_slots.size() - 1);
            while (m_slots[i].length)
                i = (i + 1) & (m_slots.size() - 1);
            m_slots[i] = s;
        }
        m_last = nullptr;
    }

    void clear()
    {
        m_slots.clear();
        m_keys.clear();
        m_texts.clear();
        m_last = nullptr;
    }

    QString m_empty;
    std::vector<Slot> m_slots;
    std::string m_keys;
    std::vector<QString> m_texts;
    const Slot *m_last = nullptr;
};

} // namespace FileScanning
