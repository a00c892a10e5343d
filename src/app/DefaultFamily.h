#pragma once

#include <QString>

// The application's font names the platform's default family, a generic name ("Sans Serif")
// that Qt lists among the families without a face of its own. For it, Qt sorts every installed
// font by its likeness to find a stand-in, the first time a widget measures a text in that
// font: a sort of all fonts before the first picture. Named as the stand-in that sort puts
// first, the font gives the same face at once.
struct DefaultFamily
{
    QString named = u"Sans Serif"_qs; // as Qt's platforms without a desktop of their own name it
    QString standIn; // the installed family that best matches it; empty when not looked for
};

// Finds the stand-in for the named family: the best match the font configuration gives for it,
// upright and in the system's language, which is the first of the installed fonts sorted by
// their likeness to it. Needs no display; safe on a thread of its own once the configuration is
// loaded. Without the font configuration library, leaves the stand-in empty.
void findDefaultStandIn(DefaultFamily &family);

// Names the application's font as the stand-in, when it names the family looked for and no
// family Qt would try before the sorted fonts (the family's substitutes) is installed. Left
// alone where the platform names another family.
void nameDefaultStandIn(const DefaultFamily &family);
