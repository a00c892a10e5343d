#pragma once

#include "chart/DialScale.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringView>
#include <functional>

// Where the analog dial puts its marks, labels and needle, as pure functions of the panel size
// and the scale. Coordinates are pixels of the dial's drawing.

// Inks of the dial, as 0xAARRGGBB values (usable as QRgb).
enum class DialInk : quint32 {
    Black = 0xff000000u,
    White = 0xffffffffu,
    Red = 0xffff0000u,
};

// Nearest integer, halves to the even neighbour, independent of the floating-point rounding
// mode. NaN gives 0; values beyond ±DialPixelLimit are clamped to it so that a needle pointing
// almost sideways still yields a line (its slope changes by far less than a pixel on the dial).
inline constexpr int DialPixelLimit = 1 << 20;
int roundHalfEven(double v);

// Two ends of a needle line.
struct NeedleLine
{
    QPoint base;
    QPoint tip;

    friend bool operator==(const NeedleLine &, const NeedleLine &) = default;
};

// The arc of scale marks for one panel size. The original arithmetic keeps R, S, T and the angle
// in 32-bit floats and works in wider precision in between; we do the same in double, which is
// what makes the needle's base land where it must at the centre of the scale.
struct DialArc
{
    int W = 0; // chord width: panel width - 40
    int H = 0; // rise of the arc over the chord: panel height - 60
    float R = 0; // radius
    float S = 0; // sweep, degrees
    float T = 0; // angle of the arc's left end above the horizontal, degrees

    static DialArc forPanel(QSize panel);
    // The formulas break down for a panel without room for the margins.
    bool isDrawable() const { return W > 0 && H > 0; }

    // Angle of step k out of n, in radians; step 0 is the left end of the arc.
    float angle(qint64 k, qint64 n) const;
    // The point at distance r from the circle's centre along angle phi.
    QPoint pointAt(float phi, double r) const;
    // The needle for a position on a scale of n positions (0 ... n); none when n <= 0.
    bool needle(qint64 position, qint64 n, NeedleLine *line) const;
};

// The limits as the scale band shows them.
struct BandLimits
{
    bool upperOn = false;
    float upper = 0;
    bool lowerOn = false;
    float lower = 0;

    // The same colouring with the values of switched-off limits zeroed, for use as a cache key.
    BandLimits effective() const;
    friend bool operator==(const BandLimits &, const BandLimits &) = default;
};

// Counts that band dot j stands for: j = 0 is -fullScale, one dot is ten counts.
double bandCount(qint64 j, qint32 fullScale);
// Red beyond a switched-on limit (strictly), black otherwise.
DialInk bandInk(double count, const BandLimits &limits);

struct DialLabel
{
    int step = 0;
    QString text;
    int dx = 0; // the text's top-left corner lies dx left and dy up of the label point
    int dy = 0;
};

// The labels and the major dots that a scale code puts on the face.
struct DialLabelSet
{
    QList<DialLabel> labels; // by ascending step
    int majorModulus = 0; // 0: no major dots
    int majorRemainder = 0;
    DialInk majorInk = DialInk::Black;

    bool hasMajorDot(int step) const
    {
        return majorModulus > 0 && step % majorModulus == majorRemainder;
    }
    const DialLabel *labelAt(int step) const;
};

// The "4" scale's major dots were drawn white on the white face, that is not at all; we draw them
// red like those of the "6" and "34" scales.
const DialLabelSet &dialLabelSet(QStringView scaleCode);

// Where a label's text lies relative to the top-left corner it is drawn at (the advance box
// and the ink together), in the font it is drawn in.
using DialTextExtent = std::function<QRect(const QString &text)>;

// The top-left corner nearest to topLeft that keeps the text's extent inside a picture of the
// given size; the left and top edges win where the picture is too small for it.
QPoint keepInside(QPoint topLeft, const QRect &extent, QSize picture);

// Everything the face shows, in drawing order.
struct DialFaceLayout
{
    // A face step with a label, a major dot or both; the label is drawn first.
    struct Mark
    {
        int step = 0;
        QString text; // empty: no label
        QPoint textTopLeft;
        bool hasDot = false;
        QPoint dot; // top-left of the dot's 2 x 2 box
    };
    struct BandDot
    {
        QPoint at; // top-left of the dot's 2 x 2 box
        double count = 0;
    };

    QList<Mark> marks;
    DialInk dotInk = DialInk::Black;
    QList<BandDot> band;
};

// With textExtent, a label whose offsets would put some of it beyond the picture (the dial's
// image inside the panel's 2-pixel border) is moved in just far enough to show whole, as the
// outermost labels of the "13" scale are, and up until the band's end no longer covers it; the
// others stay where their offsets put them.
DialFaceLayout dialFaceLayout(QSize panel, QStringView scaleCode, const DialScale &scale,
                              const DialTextExtent &textExtent = {});
