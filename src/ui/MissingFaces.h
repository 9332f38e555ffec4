#pragma once

#include <QFont>
#include <QList>
#include <QStringList>
#include <iosfwd>
#include <string>

namespace kvartix {

// The families of those fonts that this system would draw in a face of another family.
QStringList MissingFaces(const QList<QFont>& fonts);

// One line naming the missing faces and the packages that bring them; empty when none is.
std::string MissingFacesWarning(const QStringList& faces);

// The windows' fixed layout was measured in Liberation Sans: a wider stand-in cuts their
// captions, so a missing face is said once, on standard error, instead of left to be found by
// eye.
void WarnOfMissingWindowFaces(std::ostream& out);
void WarnOfMissingWindowFaces();

}  // namespace kvartix
