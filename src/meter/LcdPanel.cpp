#include "meter/LcdPanel.h"

#include "meter/MeterGlyphs.h"
#include "meter/Reading.h"
#include "support/BandedCopy.h"
#include "support/Pictures.h"
#include "support/WindowLook.h"

#include <QEvent>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <cstdint>
#include <initializer_list>

namespace {

// Segments are near-black; the ghost of an unlit segment is a shade darker than the glass.
const QColor Ink(0x1E, 0x1E, 0x1C);
const QColor Ghost(0xF1, 0xEC, 0xDD);

// Elements whose visibility the frame decides, in the order of their widgets in m_tracked.
// clang-format off
enum Element {
    LcdP1, LcdP2, LcdP3, LcdFH, LcdDc1, WEI, LCDBATT, LCDHold, Labmax, Labmin, LcdAuto, LcdManu,
    LCDsend, LcdV, LCDA, LCDF, LCDohm, lcdhz, Lcdm, lcduu, LCDn, lcdkk, LCDMM, LCDCS, LCDFS,
    LCDDI, LCDFm, LCDBF, D, LcdRPM, DWL, CYL, D4, D6, D8, dd4, dd1, dd00, dd10, dd20, LCDM1,
    LCDVV, ElementCount
};
// clang-format on
static_assert(ElementCount == LcdPanel::TrackedCount && ElementCount <= 64);

enum class Face {
    Segments, // DSEG7 Classic Bold: the main digits and their sign
    Sans, // bold Arial or its stand-in: annunciators, small numerals, units and symbols
    Point, // a decimal point: a filled rectangle
    Picture, // one of the program's pictures, stretched over the element
};

struct Look
{
    Face face;
    int pixelSize = 0;
    int stretch = 100;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int baseline = 0; // panel y of the text's baseline, so that a row reads level; 0: centred
};

struct ElementLayout
{
    Element element;
    const char16_t *name;
    QRect place; // in the panel; where an element is wider than designed, its painting needs it
    const char16_t *caption; // for pictures: the picture's name
    Look look;
    bool opaque = false;
    const char16_t *painted = nullptr; // what the element paints, when not its caption
};

constexpr Qt::Alignment Left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment Centre = Qt::AlignCenter;
constexpr Qt::Alignment Right = Qt::AlignRight | Qt::AlignVCenter;

// Rows of annunciators share a baseline: the unit prefixes with their units, the range digits
// with the range unit and the words under the digits, the cylinder count with "CYL".
constexpr int UnitBaseline = 114;
constexpr int PrefixBaseline = 145;
constexpr int BottomBaseline = 172;
constexpr int CylinderBaseline = 26;

// clang-format off
const ElementLayout ElementLayouts[] = {
    {LcdP1, u"LcdP1", {119, 129, 10, 8}, nullptr, {Face::Point}},
    {LcdP2, u"LcdP2", {195, 129, 10, 8}, nullptr, {Face::Point}},
    {LcdP3, u"LcdP3", {272, 129, 9, 8}, nullptr, {Face::Point}},
    // As long as a digit's middle segment, which needs a little more than the designed width.
    {LcdFH, u"LcdFH", {8, 28, 44, 112}, u"-", {Face::Segments, 107, 80, Centre}},
    {LcdDc1, u"LcdDc1", {5, 52, 32, 23}, u"DC", {Face::Sans, 15}},
    {WEI, u"WEI", {8, 104, 33, 25}, u"wei", {Face::Picture}},
    {LCDBATT, u"LCDBATT", {64, -5, 12, 39}, u"$", {Face::Sans, 35, 100, Centre}},
    {LCDHold, u"LCDHold", {16, 145, 19, 39}, u"\"", {Face::Sans, 35, 100, Centre}},
    {Labmax, u"Labmax", {100, 4, 46, 24}, u"MAX", {Face::Sans, 20}},
    {Labmin, u"Labmin", {156, 4, 36, 24}, u"MIN", {Face::Sans, 20}},
    {LcdAuto, u"LcdAuto", {64, 155, 55, 23}, u"Auto ", {Face::Sans, 17, 100, Left, BottomBaseline}},
    {LcdManu, u"LcdManu", {64, 155, 57, 23}, u"Manu", {Face::Sans, 17, 100, Left, BottomBaseline}},
    {LCDsend, u"LCDsend", {5, 4, 36, 29}, u"lcd-send", {Face::Picture}},
    {LcdV, u"LcdV", {392, 84, 24, 39}, u"V", {Face::Sans, 30, 100, Left, UnitBaseline}},
    {LCDA, u"LCDA", {392, 81, 24, 39}, u"A", {Face::Sans, 30, 100, Left, UnitBaseline}},
    {LCDF, u"LCDF", {392, 82, 22, 39}, u"F", {Face::Sans, 30, 100, Left, UnitBaseline}},
    {LCDohm, u"LCDohm", {392, 113, 24, 39}, u"*", {Face::Sans, 30, 100, Left, PrefixBaseline}},
    {lcdhz, u"lcdhz", {376, 114, 45, 39}, u"Hz", {Face::Sans, 30, 100, Left, PrefixBaseline}},
    {Lcdm, u"Lcdm", {360, 84, 30, 39}, u"m", {Face::Sans, 30, 100, Right, UnitBaseline}},
    {lcduu, u"lcduu", {360, 88, 31, 32}, u"u", {Face::Sans, 25, 100, Right, UnitBaseline}, false, u"\u00B5"},
    {LCDn, u"LCDn", {368, 90, 23, 32}, u"n", {Face::Sans, 25, 100, Right, UnitBaseline}},
    {lcdkk, u"lcdkk", {352, 124, 17, 27}, u"K", {Face::Sans, 21, 100, Right, PrefixBaseline}, false, u"k"},
    {LCDMM, u"LCDMM", {352, 124, 21, 27}, u"M", {Face::Sans, 21, 100, Right, PrefixBaseline}},
    {LCDCS, u"LCDCS", {360, 65, 33, 36}, u"#", {Face::Sans, 27}}, // wide enough for "°C"
    {LCDFS, u"LCDFS", {392, 66, 17, 27}, u"?", {Face::Sans, 21}},
    {LCDDI, u"LCDDI", {384, 1, 31, 32}, u")", {Face::Sans, 29, 100, Centre}},
    {LCDFm, u"LCDFm", {344, 0, 25, 36}, u"&", {Face::Sans, 32, 100, Centre}},
    {LCDBF, u"LCDBF", {400, 40, 19, 23}, u"%", {Face::Sans, 21, 100, Centre}},
    {D, u"D", {360, 32, 33, 33}, u"dwell", {Face::Picture}},
    {LcdRPM, u"LcdRPM", {302, 155, 63, 19}, u"RPM\u00D710", {Face::Sans, 16, 100, Left, BottomBaseline}},
    {DWL, u"DWL", {256, 155, 39, 17}, u"DWL", {Face::Sans, 14, 100, Left, BottomBaseline}, true},
    {CYL, u"CYL", {288, 8, 38, 22}, u"CYL", {Face::Sans, 16, 100, Left, CylinderBaseline}, true},
    {D4, u"D4", {240, 8, 9, 22}, u"4", {Face::Sans, 16, 100, Left, CylinderBaseline}, true},
    {D6, u"D6", {257, 8, 9, 22}, u"6", {Face::Sans, 16, 100, Left, CylinderBaseline}, true},
    {D8, u"D8", {272, 8, 9, 22}, u"8", {Face::Sans, 16, 100, Left, CylinderBaseline}, true},
    // The range's "4" stands where its "1" stands, next to the zeros.
    {dd4, u"dd4", {155, 155, 20, 22}, u"4", {Face::Sans, 15, 100, Right, BottomBaseline}, true},
    {dd1, u"dd1", {165, 155, 9, 22}, u"1", {Face::Sans, 15, 100, Right, BottomBaseline}, true},
    {dd00, u"dd00", {176, 155, 9, 22}, u"0", {Face::Sans, 15, 100, Left, BottomBaseline}, true},
    {dd10, u"dd10", {184, 155, 9, 22}, u"0", {Face::Sans, 15, 100, Left, BottomBaseline}, true},
    {dd20, u"dd20", {192, 155, 9, 22}, u"0", {Face::Sans, 15, 100, Left, BottomBaseline}, true},
    {LCDM1, u"LCDM1", {206, 153, 16, 21}, u"m", {Face::Sans, 17, 100, Right, BottomBaseline}},
    {LCDVV, u"LCDVV", {224, 152, 10, 21}, u"v", {Face::Sans, 15, 100, Left, BottomBaseline}, true, u"V"},
};
// clang-format on

// What each function, sub and range lights. A frame lights the union of its matching rows, so a
// sub or range without a row of its own shows its "any" row alone.
enum Match { Any = -1, ZeroOrOne = -2 };

struct FunctionRow
{
    int function;
    int sub; // the sub code's digit; voltage never compares it
    int range; // the range code; frequency's comes from its own frame character
    std::uint64_t shown;
};

constexpr std::uint64_t lit(std::initializer_list<Element> list)
{
    std::uint64_t set = 0;
    for (Element e : list)
        set |= std::uint64_t(1) << e;
    return set;
}

// clang-format off
constexpr FunctionRow FunctionRows[] = {
    {0, Any, Any, lit({LcdDc1})},
    {0, Any, 0, lit({dd4, LCDVV, LcdV})},
    {0, Any, 1, lit({dd4, dd00, LCDVV, LcdV})},
    {0, Any, 2, lit({dd4, dd00, dd10, LCDVV, LcdV})},
    {0, Any, 3, lit({dd1, dd00, dd10, dd20, LCDVV, LcdV})},
    {1, 0, Any, lit({LcdDc1, Lcdm, LcdV, LCDM1, LCDVV, dd4})},
    {1, 0, 0, lit({dd00, dd10})},
    {1, 0, 1, lit({dd00})},
    {1, 1, Any, lit({LCDCS})},
    {1, 2, Any, lit({LCDFS})},
    {2, 0, Any, lit({LCDohm})},
    {2, 0, 0, lit({dd4, dd00, dd10})},
    {2, 0, 1, lit({dd4, lcdkk})},
    {2, 0, 2, lit({dd4, dd00, lcdkk})},
    {2, 0, 3, lit({dd4, dd00, dd10, lcdkk})},
    {2, 0, 4, lit({dd4, LCDMM})},
    {2, 0, 5, lit({dd4, dd00, LCDMM})},
    {2, 1, Any, lit({LCDFm})},
    {2, 2, Any, lit({LCDF})},
    {2, 2, 0, lit({dd1, dd00, LCDn})},
    {2, 2, 1, lit({dd1, dd00, dd10, LCDn})},
    {2, 2, 2, lit({dd1, dd00, dd10, dd20, LCDn})},
    {2, 2, 3, lit({dd1, dd00, lcduu})},
    {2, 2, 4, lit({dd1, dd00, dd10, lcduu})},
    {3, Any, Any, lit({dd4, LCDVV, LcdV, LCDDI})},
    {4, Any, Any, lit({LcdDc1, LCDA, Lcdm, dd4})},
    {4, ZeroOrOne, 0, lit({dd00})},
    {4, ZeroOrOne, 1, lit({dd00, dd10})},
    {5, Any, Any, lit({LcdDc1, LCDA, lcduu, dd4})},
    {5, ZeroOrOne, 0, lit({dd00, dd10})},
    {5, ZeroOrOne, 1, lit({dd00, dd10, dd20})},
    {6, Any, Any, lit({LcdDc1, LCDA})},
    {6, ZeroOrOne, 0, lit({dd4})},
    {6, ZeroOrOne, 1, lit({dd1, dd00})},
    {7, 0, Any, lit({LcdRPM, CYL})},
    {7, 1, Any, lit({DWL, D, LCDBF, CYL})},
    {7, ZeroOrOne, 0, lit({D4})},
    {7, ZeroOrOne, 1, lit({D6})},
    {7, ZeroOrOne, 2, lit({D8})},
    {8, Any, Any, lit({lcdhz})},
    {8, Any, 2, lit({lcdkk})},
    {8, Any, 3, lit({lcdkk})},
    {8, Any, 4, lit({lcdkk})},
    {8, Any, 5, lit({LCDMM})},
};
// clang-format on

// The main digits: lefts as designed, a little wider than designed so that a digit's right
// segments come up to its decimal point.
constexpr int DigitLefts[] = {56, 136, 216, 288};
constexpr const char16_t *DigitNames[] = {u"LcdDa", u"LcdDb", u"LcdDc", u"LcdDd"};
constexpr const char16_t *DigitCaptions[] = {u"3", u"9", u"9", u"9"};
constexpr int DigitTop = 20;
constexpr int DigitWidth = 56;
constexpr int DigitHeight = 148;
constexpr int DigitPixelSize = 107;
constexpr int DigitStretch = 80;
constexpr int DigitInkTop = 10; // the digits' ink spans panel y 30..137, down to the points

QString str(const char16_t *s)
{
    return QString::fromUtf16(s);
}

QFont fontOf(const Look &look)
{
    QFont f;
    switch (look.face) {
    case Face::Segments:
        f.setFamilies({u"DSEG7 Classic"_qs});
        break;
    default:
        f = WindowLook::arial(look.pixelSize, true);
        break;
    }
    f.setPixelSize(std::max(1, look.pixelSize));
    f.setBold(true);
    f.setStretch(look.stretch);
    // Hinting would snap the stretched segment outlines to whole pixels unevenly.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void fillWith(QWidget *w, const QColor &colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

// A caption painted as the meter's display shows it. The caption stays the plain text; only
// the painting turns meter characters into symbols.
class LcdText : public QLabel
{
public:
    LcdText(const QString &caption, const QFont &font, Qt::Alignment alignment,
            const QString &painted, int baseline, QWidget *parent)
        : QLabel(caption, parent)
        , m_glyphs(font)
        , m_painted(painted)
        , m_baseline(baseline)
    {
        setTextFormat(Qt::PlainText);
        setFont(font);
        setAlignment(alignment);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(Ink);
        const QString shown = m_painted.isEmpty() ? text() : m_painted;
        if (m_baseline == 0) {
            m_glyphs.draw(p, rect(), int(alignment()), shown);
            return;
        }
        // Level with its row: only the horizontal alignment is the element's own.
        qreal x = 0;
        if (alignment() & Qt::AlignRight)
            x = width() - m_glyphs.width(shown);
        else if (alignment() & Qt::AlignHCenter)
            x = (width() - m_glyphs.width(shown)) / 2;
        m_glyphs.drawAt(p, QPointF(x, m_baseline - y()), shown);
    }

    void changeEvent(QEvent *e) override
    {
        if (e->type() == QEvent::FontChange)
            fontChanged();
        QLabel::changeEvent(e);
    }

    virtual void fontChanged() { m_glyphs = MeterGlyphs(font()); }

    MeterGlyphs m_glyphs;
    QString m_painted;
    int m_baseline; // in the parent
};

// A main digit over the faint ghost of all its segments, on the panel's glass: it covers its
// whole box, so a new digit repaints the digit alone and not the panel under it.
class LcdDigit : public LcdText
{
public:
    LcdDigit(const QString &caption, const QFont &font, QWidget *parent)
        : LcdText(caption, font, Qt::AlignRight | Qt::AlignVCenter, {}, 0, parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        measureGhost();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        // Glyphs this large are not kept in the font engine's cache and would be turned into
        // paths on every paint: each caption is drawn once into a picture and reused.
        const QString caption = text();
        const qreal ratio = devicePixelRatioF();
        auto it = m_pictures.constFind(caption);
        if (it == m_pictures.cend() || it->size() != size() * ratio)
            it = m_pictures.insert(caption, render(caption, ratio));
        QPainter p(this);
        BandedCopy::drawPixmap(p, QPoint(0, 0), *it);
    }

    void fontChanged() override
    {
        LcdText::fontChanged();
        measureGhost();
        m_pictures.clear();
    }

    void changeEvent(QEvent *e) override
    {
        if (e->type() == QEvent::PaletteChange)
            m_pictures.clear();
        LcdText::changeEvent(e);
    }

private:
    QPixmap render(const QString &caption, qreal ratio) const
    {
        // The segments are drawn on a clear picture and that is laid on the glass, as painting
        // the clear picture over the panel's background would lay it.
        QPixmap glass(size() * ratio);
        glass.setDevicePixelRatio(ratio);
        glass.fill(palette().color(QPalette::Window));
        QPainter(&glass).drawPixmap(0, 0, segments(caption, ratio));
        return glass;
    }

    QPixmap segments(const QString &caption, qreal ratio) const
    {
        QPixmap picture(size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF origin(-m_ghostInk.left(), DigitInkTop - m_ghostInk.top());
        p.setPen(Ghost);
        m_glyphs.drawAt(p, origin, u"8");
        p.setPen(Ink);
        // Right-aligned to the ghost, so that a wider text grows to the left.
        const qreal shift = m_ghostAdvance - m_glyphs.width(caption);
        m_glyphs.drawAt(p, origin + QPointF(shift, 0), caption);
        return picture;
    }

    void measureGhost()
    {
        const QFontMetricsF metrics(font());
        m_ghostInk = metrics.tightBoundingRect(u"8"_qs);
        m_ghostAdvance = metrics.horizontalAdvance(u'8');
    }

    QRectF m_ghostInk;
    qreal m_ghostAdvance = 0;
    QHash<QString, QPixmap> m_pictures;
};

template<class W> W *place(W *w, const QString &name, const QRect &rect)
{
    w->setObjectName(name);
    w->setGeometry(rect);
    return w;
}

QWidget *makeElement(const ElementLayout &layout, QWidget *parent)
{
    const QString name = str(layout.name);
    QWidget *w = nullptr;
    switch (layout.look.face) {
    case Face::Point:
        w = new QWidget(parent);
        fillWith(w, Ink);
        break;
    case Face::Picture: {
        auto *picture = new QLabel(parent);
        picture->setPixmap(Pictures::pixmap(str(layout.caption), layout.place.size()));
        picture->setScaledContents(true);
        w = picture;
        break;
    }
    default:
        w = new LcdText(str(layout.caption), fontOf(layout.look), layout.look.alignment,
                        layout.painted ? str(layout.painted) : QString(), layout.look.baseline,
                        parent);
        break;
    }
    if (layout.opaque)
        fillWith(w, WindowLook::Cream);
    w->hide();
    return place(w, name, layout.place);
}

} // namespace

LcdPanel::LcdPanel(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(u"Panel1"_qs);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    fillWith(this, WindowLook::Cream);
    resize(425, 206);

    QFont digitFont = fontOf({Face::Segments, DigitPixelSize, DigitStretch});
    for (int i = 0; i < 4; ++i) {
        m_digits[i]
            = place(new LcdDigit(str(DigitCaptions[i]), digitFont, this), str(DigitNames[i]),
                    QRect(DigitLefts[i], DigitTop, DigitWidth, DigitHeight));
    }

    for (const ElementLayout &layout : ElementLayouts)
        m_tracked[layout.element] = makeElement(layout, this);
    m_function = static_cast<QLabel *>(m_tracked[LcdDc1]);

    m_clock = place(new QLabel(u"displaytime"_qs, this), u"d_t"_qs, QRect(152, 182, 99, 22));
    m_clock->setTextFormat(Qt::PlainText);
    m_clock->setFont(WindowLook::sansSerif(11, false));
    fillWith(m_clock, WindowLook::Cream);
    m_clock->hide();
}

LcdPanel::~LcdPanel() = default;

void LcdPanel::blank()
{
    m_wanted &= Elements(lit({WEI}));
}

void LcdPanel::setClockText(const QString &text)
{
    setTextIfChanged(m_clock, text);
}

void LcdPanel::showSend()
{
    setWanted(LCDsend, true);
}

LcdPanel::Elements LcdPanel::functionElements(const Reading &r)
{
    const int sub = r.subCode.digitValue();
    const int range = r.functionCode == 8 ? r.frequencyRangeCode : r.rangeCode;
    const auto matches = [](int wanted, int code) {
        return wanted == Any || wanted == code || (wanted == ZeroOrOne && (code == 0 || code == 1));
    };
    Elements shown;
    for (const FunctionRow &row : FunctionRows) {
        if (row.function == r.functionCode && matches(row.sub, sub) && matches(row.range, range))
            shown |= Elements(row.shown);
    }
    return shown;
}

void LcdPanel::showFunction(const Reading &r)
{
    m_wanted |= functionElements(r);

    const int sub = r.subCode.digitValue();
    switch (r.functionCode) {
    case 0:
        setTextIfChanged(m_function, r.subCode == u'0' ? u"DCV"_qs : u"ACV"_qs);
        break;
    case 1:
        if (sub == 0)
            setTextIfChanged(m_function, u"DCV"_qs);
        break;
    case 4:
    case 5:
    case 6:
        if (sub == 0)
            setTextIfChanged(m_function, u"DCA"_qs);
        else if (sub == 1)
            setTextIfChanged(m_function, u"ACA"_qs);
        break;
    default:
        break;
    }
}

void LcdPanel::showFlags(const Reading &r)
{
    setWanted(WEI, r.highVoltage);
    setWanted(LcdFH, r.negative);
    setWanted(LCDBATT, r.lowBattery);
    setWanted(LCDHold, r.hold);
    setWanted(Labmax, r.maxMode);
    setWanted(Labmin, r.minMode);
    setWanted(LcdAuto, r.autoRange);
    // The frequency function ranges by itself; its manual flag lights nothing.
    if (!r.manualRange)
        setWanted(LcdManu, false);
    else if (r.functionCode != 8)
        setWanted(LcdManu, true);
}

void LcdPanel::showDecimalPoint(int decimalPoint)
{
    setWanted(LcdP1, decimalPoint == 1);
    setWanted(LcdP2, decimalPoint == 2);
    setWanted(LcdP3, decimalPoint == 3);
}

void LcdPanel::setDigits(const std::array<QString, 4> &digits)
{
    for (int i = 0; i < 4; ++i)
        setTextIfChanged(m_digits[i], digits[i]);
}

void LcdPanel::commit()
{
    for (int i = 0; i < TrackedCount; ++i) {
        QWidget *w = m_tracked[i];
        if (w->isHidden() == m_wanted[i])
            w->setVisible(m_wanted[i]);
    }
}

QList<Pictures::Order> LcdPanel::pictures()
{
    QList<Pictures::Order> orders;
    for (const ElementLayout &layout : ElementLayouts)
        if (layout.look.face == Face::Picture)
            orders.append(
                {str(layout.caption), layout.place.size(), Pictures::Order::Kind::Pixmap});
    return orders;
}

QWidget *LcdPanel::element(const QString &name) const
{
    for (QObject *child : children()) {
        if (child->isWidgetType() && child->objectName() == name)
            return static_cast<QWidget *>(child);
    }
    return nullptr;
}

QLabel *LcdPanel::digit(int index) const
{
    return m_digits.at(index);
}

QLabel *LcdPanel::clockLabel() const
{
    return m_clock;
}

void LcdPanel::setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}
