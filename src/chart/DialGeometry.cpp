#include "chart/DialGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

int roundHalfEven(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= DialPixelLimit)
        return DialPixelLimit;
    if (v <= -DialPixelLimit)
        return -DialPixelLimit;
    // Both steps are exact in this range, so no rounding mode is involved.
    double r = std::floor(v);
    const double fraction = v - r;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    return int(r);
}

DialArc DialArc::forPanel(QSize panel)
{
    DialArc a;
    a.W = panel.width() - 40;
    a.H = panel.height() - 60;
    if (!a.isDrawable())
        return a;
    const double w = a.W;
    const double h = a.H;
    a.R = float((4.0 * h * h + w * w) / (8.0 * h));
    // 3.1415, not pi: the sweep has always been computed this way and the marks depend on it.
    a.S = float(2.0 * std::atan((w / 2.0) / (double(a.R) - h)) * 180.0 / 3.1415);
    a.T = float((180.0 - double(a.S)) / 2.0);
    return a;
}

float DialArc::angle(qint64 k, qint64 n) const
{
    return float((double(S) / double(n) * double(k) + double(T)) * std::numbers::pi / 180.0);
}

QPoint DialArc::pointAt(float phi, double r) const
{
    const double a = phi;
    return {roundHalfEven(W / 2.0 - r * std::cos(a) + 20.0),
            roundHalfEven(double(R) - r * std::sin(a) + 30.0)};
}

bool DialArc::needle(qint64 position, qint64 n, NeedleLine *line) const
{
    if (!isDrawable() || n <= 0)
        return false;
    const double phi = angle(position, n);
    const double r = R;
    // The tip sits 4 pixels below the arc; the base is where the needle's line crosses the
    // horizontal 280 + H below the arc's top, far below the panel.
    line->tip = {roundHalfEven(W / 2.0 - r * std::cos(phi)) + 20,
                 roundHalfEven(r - r * std::sin(phi) + 4.0) + 30};
    line->base = {roundHalfEven(W / 2.0 - (r - H - 280.0) * std::cos(phi) / std::sin(phi)) + 20,
                  roundHalfEven(280.0 + H) + 30};
    return true;
}

BandLimits BandLimits::effective() const
{
    return {upperOn, upperOn ? upper : 0.0f, lowerOn, lowerOn ? lower : 0.0f};
}

double bandCount(qint64 j, qint32 fullScale)
{
    return (double(j) - double(fullScale) / 10.0) * 10.0;
}

DialInk bandInk(double count, const BandLimits &limits)
{
    if (limits.upperOn && count > double(limits.upper))
        return DialInk::Red;
    if (limits.lowerOn && count < double(limits.lower))
        return DialInk::Red;
    return DialInk::Black;
}

const DialLabel *DialLabelSet::labelAt(int step) const
{
    for (const DialLabel &l : labels) {
        if (l.step == step)
            return &l;
    }
    return nullptr;
}

const DialLabelSet &dialLabelSet(QStringView scaleCode)
{
    static const DialLabelSet none;
    static const DialLabelSet four {{{0, u"-40"_qs, 5, 7},
                                     {10, u"-30"_qs, 8, 6},
                                     {20, u"-20"_qs, 10, 5},
                                     {30, u"-10"_qs, 10, 4},
                                     {40, u"0"_qs, 3, 4},
                                     {50, u"10"_qs, 5, 5},
                                     {60, u"20"_qs, 8, 5},
                                     {70, u"30"_qs, 10, 6},
                                     {80, u"40"_qs, 12, 7}},
                                    10,
                                    0,
                                    DialInk::Red};
    static const DialLabelSet six {{{0, u"-60"_qs, 5, 7},
                                    {15, u"-45"_qs, 8, 6},
                                    {30, u"-30"_qs, 10, 5},
                                    {45, u"-15"_qs, 10, 4},
                                    {60, u"0"_qs, 3, 4},
                                    {75, u"15"_qs, 5, 5},
                                    {90, u"30"_qs, 8, 5},
                                    {105, u"45"_qs, 10, 6},
                                    {120, u"60"_qs, 11, 7}},
                                   15,
                                   0,
                                   DialInk::Red};
    static const DialLabelSet thirtyFour {{{4, u"-30"_qs, 8, 6},
                                           {14, u"-20"_qs, 10, 5},
                                           {24, u"-10"_qs, 10, 4},
                                           {34, u"0"_qs, 3, 4},
                                           {44, u"10"_qs, 5, 5},
                                           {54, u"20"_qs, 8, 5},
                                           {64, u"30"_qs, 10, 6}},
                                          10,
                                          4,
                                          DialInk::Red};
    static const DialLabelSet ten {{{0, u"-10"_qs, 1, 7},
                                    {25, u"-7.5"_qs, 8, 6},
                                    {50, u"-5.0"_qs, 10, 5},
                                    {75, u"-2.5"_qs, 10, 4},
                                    {100, u"0"_qs, 3, 4},
                                    {125, u"2.5"_qs, 5, 5},
                                    {150, u"5.0"_qs, 8, 5},
                                    {175, u"7.5"_qs, 10, 6},
                                    {200, u"10"_qs, 10, 2}},
                                   0,
                                   0,
                                   DialInk::Black};
    static const DialLabelSet thirteen {{{0, u"-1000"_qs, 10, 7},
                                         {25, u"-750"_qs, 8, 6},
                                         {50, u"-500"_qs, 10, 5},
                                         {75, u"-250"_qs, 10, 4},
                                         {100, u"0"_qs, 3, 4},
                                         {125, u"250"_qs, 5, 5},
                                         {150, u"500"_qs, 8, 5},
                                         {175, u"750"_qs, 10, 6},
                                         {200, u"1000"_qs, 15, 5}},
                                        0,
                                        0,
                                        DialInk::Black};
    if (scaleCode == u"4")
        return four;
    if (scaleCode == u"6")
        return six;
    if (scaleCode == u"34")
        return thirtyFour;
    if (scaleCode == u"10")
        return ten;
    if (scaleCode == u"13")
        return thirteen;
    return none;
}

QPoint keepInside(QPoint topLeft, const QRect &extent, QSize picture)
{
    const auto along = [](int at, int lead, int length, int room) {
        // at + lead is where the text starts; it must end by room.
        at = std::min(at, room - (lead + length));
        return std::max(at, -lead);
    };
    return {along(topLeft.x(), extent.x(), extent.width(), picture.width()),
            along(topLeft.y(), extent.y(), extent.height(), picture.height())};
}

DialFaceLayout dialFaceLayout(QSize panel, QStringView scaleCode, const DialScale &scale,
                              const DialTextExtent &textExtent)
{
    DialFaceLayout face;
    const DialLabelSet &set = dialLabelSet(scaleCode);
    face.dotInk = set.majorInk;
    const DialArc arc = DialArc::forPanel(panel);
    if (!arc.isDrawable() || scale.dialSteps <= 0)
        return face;

    const int steps = scale.dialSteps;
    const qint64 dots = qint64(steps) * 10;
    face.band.reserve(dots + 1);
    for (qint64 j = 0; j <= dots; ++j)
        face.band.append(
            {arc.pointAt(arc.angle(j, dots), double(arc.R) + 3.0), bandCount(j, scale.fullScale)});
    // Where a band dot's ink can reach: its pen is 4 pixels wide around the dot's 2 x 2 box.
    const auto crossesBand = [&face](const QRect &text) {
        return std::any_of(face.band.cbegin(), face.band.cend(), [&text](const auto &dot) {
            return text.intersects(QRect(dot.at - QPoint(2, 2), QSize(6, 6)));
        });
    };

    for (int i = 0; i <= steps; ++i) {
        const DialLabel *label = set.labelAt(i);
        const bool dot = set.hasMajorDot(i);
        if (!label && !dot)
            continue;
        const float phi = arc.angle(i, steps);
        DialFaceLayout::Mark mark;
        mark.step = i;
        if (label) {
            const QPoint p18 = arc.pointAt(phi, double(arc.R) + 18.0);
            mark.text = label->text;
            mark.textTopLeft = p18 - QPoint(label->dx, label->dy);
            if (textExtent) {
                const QRect extent = textExtent(mark.text);
                const QSize room = panel - QSize(4, 4);
                const QPoint wanted = mark.textTopLeft;
                mark.textTopLeft = keepInside(wanted, extent, room);
                // Moved in beside the band's end, it would lie under the band: it goes up until
                // clear of it (below the end is the needle's way).
                if (mark.textTopLeft != wanted) {
                    while (crossesBand(extent.translated(mark.textTopLeft))
                           && mark.textTopLeft.y() + extent.top() > 0)
                        mark.textTopLeft.ry() -= 1;
                }
            }
        }
        mark.hasDot = dot;
        if (dot)
            mark.dot = arc.pointAt(phi, double(arc.R) + 6.0);
        face.marks.append(mark);
    }
    return face;
}
