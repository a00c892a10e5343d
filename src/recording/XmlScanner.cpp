#include "recording/XmlScanner.h"

#include "support/ShownText.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>

namespace XmlScanning {

namespace {

bool startsWith(const char *p, const char *end, Bytes prefix)
{
    return size_t(end - p) >= prefix.size() && std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// One "_xHHHH_" (or "_xHHHHHHHH_") escape at the start of text: its character and length.
std::optional<std::pair<char32_t, qsizetype>> nameEscape(QStringView text)
{
    if (!text.startsWith(u"_x"))
        return std::nullopt;
    for (const qsizetype digits : {4, 8}) {
        if (text.size() < digits + 3 || text[digits + 2] != u'_')
            continue;
        bool ok = false;
        const uint code = text.mid(2, digits).toUInt(&ok, 16);
        if (ok && code <= 0x10FFFF)
            return std::pair {char32_t(code), digits + 3};
    }
    return std::nullopt;
}

} // namespace

bool decodeValue(Bytes raw, std::string &out, size_t limit)
{
    out.clear();
    for (size_t i = 0; i < raw.size(); ++i) {
        if (out.size() >= limit) {
            // Past what is kept: only whether the references are good still matters.
            if (raw[i] != '&')
                continue;
            out.resize(limit);
        }
        const char c = raw[i];
        if (c == '\r' || c == '\n' || c == '\t') {
            if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            out += ' ';
            continue;
        }
        if (c != '&') {
            out += c;
            continue;
        }
        const size_t semicolon = raw.find(';', i + 1);
        if (semicolon == Bytes::npos)
            return false;
        const Bytes name = raw.substr(i + 1, semicolon - i - 1);
        i = semicolon;
        if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const Bytes digits = name.substr(hex ? 2 : 1);
            std::uint32_t code = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(),
                                                   code, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()
                || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                return false;
            appendUtf8(out, char32_t(code));
        } else {
            return false;
        }
    }
    if (out.size() > limit)
        out.resize(limit);
    return true;
}

QString fromUtf8(Bytes bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QString decodeName(QStringView name)
{
    QString out;
    for (qsizetype i = 0; i < name.size();) {
        if (const auto escape = nameEscape(name.mid(i))) {
            const char32_t code = escape->first;
            out += QString::fromUcs4(&code, 1);
            i += escape->second;
        } else {
            out += name[i++];
        }
    }
    return out;
}

bool Scanner::readDeclaration()
{
    if (startsWith(m_p, m_end, "\xEF\xBB\xBF"))
        m_p += 3;
    if (!startsWith(m_p, m_end, "<?xml") || m_end - m_p < 6 || !isSpace(m_p[5]))
        return true;
    const char *close = static_cast<const char *>(std::memchr(m_p, '>', size_t(m_end - m_p)));
    if (!close || close[-1] != '?')
        return refuse(u"unfinished XML declaration"_qs);
    const Bytes decl(m_p, size_t(close - m_p));
    m_p = close + 1;
    const size_t at = decl.find("encoding");
    if (at == Bytes::npos)
        return true;
    size_t i = at + 8;
    while (i < decl.size() && (isSpace(decl[i]) || decl[i] == '='))
        ++i;
    const char quote = i < decl.size() ? decl[i] : '\0';
    const size_t valueEnd = decl.find(quote, i + 1);
    if ((quote != '"' && quote != '\'') || valueEnd == Bytes::npos)
        return refuse(u"bad encoding in the XML declaration"_qs);
    const Bytes name = decl.substr(i + 1, valueEnd - i - 1);
    const QString encoding = fromUtf8(name.substr(0, 4 * ShownText::MaxShown + 4));
    if (encoding.compare(u"utf-8", Qt::CaseInsensitive) != 0
        && encoding.compare(u"utf8", Qt::CaseInsensitive) != 0)
        return refuse(u"unsupported encoding "_qs + ShownText::escaped(encoding));
    return true;
}

Scanner::Kind Scanner::next()
{
    for (;;) {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
        if (m_p == m_end)
            return Finished;
        if (*m_p != '<')
            return fail(u"text outside of a tag"_qs);
        if (startsWith(m_p, m_end, "<!--") || startsWith(m_p, m_end, "<?")) {
            const Bytes close = m_p[1] == '!' ? Bytes("-->") : Bytes("?>");
            const Bytes rest(m_p + 2, size_t(m_end - m_p - 2));
            const size_t at = rest.find(close);
            if (at == Bytes::npos)
                return fail(u"unfinished comment or instruction"_qs);
            m_p = rest.data() + at + close.size();
            continue;
        }
        break;
    }
    ++m_p;
    const bool endTag = m_p < m_end && *m_p == '/';
    if (endTag)
        ++m_p;
    const char *nameStart = m_p;
    while (m_p < m_end && !isSpace(*m_p) && *m_p != '/' && *m_p != '>')
        ++m_p;
    m_name = Bytes(nameStart, size_t(m_p - nameStart));
    if (m_name.empty() || m_name[0] == '!')
        return fail(u"bad tag"_qs);
    m_attributes.clear();
    for (;;) {
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
        if (m_p == m_end)
            return fail(u"the file ends inside a tag"_qs);
        if (*m_p == '>') {
            ++m_p;
            return endTag ? End : Start;
        }
        if (*m_p == '/' && !endTag && m_p + 1 < m_end && m_p[1] == '>') {
            m_p += 2;
            return Empty;
        }
        if (endTag)
            return fail(u"bad end tag"_qs);
        // Attribute names run to "=": "DC/AC" is one.
        const char *attrStart = m_p;
        while (m_p < m_end && *m_p != '=' && *m_p != '>' && *m_p != '<' && !isSpace(*m_p))
            ++m_p;
        const Bytes attrName(attrStart, size_t(m_p - attrStart));
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
        if (m_p == m_end || *m_p != '=')
            return fail(u"attribute without a value"_qs);
        ++m_p;
        while (m_p < m_end && isSpace(*m_p))
            ++m_p;
        if (m_p == m_end || (*m_p != '"' && *m_p != '\''))
            return fail(u"attribute value without quotes"_qs);
        const char quote = *m_p++;
        const char *valueEnd
            = static_cast<const char *>(std::memchr(m_p, quote, size_t(m_end - m_p)));
        if (!valueEnd)
            return fail(u"the file ends inside an attribute value"_qs);
        bool plain = true;
        for (const char *c = m_p; c < valueEnd; ++c) {
            if (*c == '<')
                return fail(u"'<' in an attribute value"_qs);
            if (*c == '&' || *c == '\t' || *c == '\r' || *c == '\n')
                plain = false;
        }
        if (m_attributes.size() == MaxAttributes)
            return fail(u"more than "_qs + QString::number(MaxAttributes)
                        + u" attributes in a tag"_qs);
        m_attributes.push_back({attrName, Bytes(m_p, size_t(valueEnd - m_p)), plain});
        m_p = valueEnd + 1;
    }
}

bool Scanner::skipContent()
{
    std::vector<Bytes> open {m_name};
    while (!open.empty()) {
        switch (next()) {
        case Start:
            open.push_back(m_name);
            break;
        case Empty:
            break;
        case End:
            if (m_name != open.back())
                return refuse(u"unbalanced tags"_qs);
            open.pop_back();
            break;
        case Finished:
            return refuse(u"the file ends inside an element"_qs);
        case Bad:
            return false;
        }
    }
    return true;
}

// A ROW attribute name and the field it fills.
} // namespace XmlScanning
