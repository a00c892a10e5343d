#include "support/WindowLook.h"

namespace WindowLook {

namespace {

QFont make(const QStringList &families, int pixelHeight, bool bold, bool italic)
{
    QFont f;
    f.setFamilies(families);
    f.setPixelSize(pixelHeight);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

} // namespace

QFont sansSerif(int pixelHeight, bool bold)
{
    return make({u"MS Sans Serif"_qs, u"Liberation Sans"_qs, u"DejaVu Sans"_qs}, pixelHeight, bold,
                false);
}

QFont arial(int pixelHeight, bool bold, bool italic)
{
    return make({u"Arial"_qs, u"Liberation Sans"_qs, u"DejaVu Sans"_qs}, pixelHeight, bold, italic);
}

QFont segments(int pixelHeight)
{
    return make({u"DSEG7 Classic"_qs}, pixelHeight, false, false);
}

} // namespace WindowLook
