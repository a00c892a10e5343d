#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

// A small scanner of XML tags. Data packets name an attribute "DC/AC", which is not an XML
// name, so no XML library reads them; this scanner takes what such files hold and refuses
// anything else (text outside tags, unfinished tags, unknown references).
namespace XmlScanning {

using Bytes = std::string_view;

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The value of an attribute with its references resolved and its white space normalised the
// way XML does; false for a reference that is not one. Only the first `limit` bytes (and the
// rest of the character there) are kept, though every reference is checked.
bool decodeValue(Bytes raw, std::string &out, size_t limit = std::string::npos);
QString fromUtf8(Bytes bytes);
// A name in the escaped form of XML names: "DC_x002F_AC" stands for "DC/AC".
QString decodeName(QStringView name);

struct Attribute
{
    Bytes name;
    Bytes value;
    bool plain; // no reference, no white space to normalise
};

class Scanner
{
public:
    enum Kind { Start, Empty, End, Finished, Bad };
    // More in one tag is refused: each attribute takes more memory than its bytes in the file.
    static constexpr size_t MaxAttributes = 4096;

    explicit Scanner(Bytes data)
        : m_p(data.data())
        , m_end(data.data() + data.size())
    {
    }

    Kind next();
    Bytes name() const { return m_name; }
    const std::vector<Attribute> &attributes() const { return m_attributes; }
    const QString &error() const { return m_error; }
    Kind fail(const QString &reason)
    {
        if (m_error.isEmpty())
            m_error = reason;
        return Bad;
    }
    bool refuse(const QString &reason)
    {
        fail(reason);
        return false;
    }
    // Skips the content of the element just started, down to its end tag.
    bool skipContent();
    // The XML declaration, if any: only UTF-8 is read.
    bool readDeclaration();

private:
    const char *m_p;
    const char *const m_end;
    Bytes m_name;
    std::vector<Attribute> m_attributes;
    QString m_error;
};

} // namespace XmlScanning
