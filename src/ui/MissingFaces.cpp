#include "ui/MissingFaces.h"

#include <QFontInfo>
#include <iostream>

#include "ui/WindowFont.h"
#include "ui/forms/FormFonts.h"

namespace kvartix {

QStringList MissingFaces(const QList<QFont>& fonts) {
    QStringList missing;
    for (const QFont& font : fonts) {
        // What the font database matched, not what was asked: fontconfig always finds a face.
        // Any face of the font's list will do: the later ones are its stand-ins.
        const QString drawn = QFontInfo(font).family();
        const QStringList wanted = font.families().isEmpty() ? QStringList{font.family()}
                                                             : font.families();
        if (!wanted.contains(drawn, Qt::CaseInsensitive) && !missing.contains(font.family()))
            missing << font.family();
    }
    return missing;
}

std::string MissingFacesWarning(const QStringList& faces) {
    if (faces.isEmpty()) return {};
    return "kvartix: font not installed: " + faces.join(QStringLiteral(", ")).toStdString() +
           "; the windows are drawn in another face and their captions may be cut"
           " (Debian's fonts-liberation and fonts-dejavu-core bring them)\n";
}

void WarnOfMissingWindowFaces(std::ostream& out) {
    // The question mark of the help button is drawn in DejaVu Sans (QuestionMarkIcon.cpp).
    out << MissingFacesWarning(MissingFaces({WindowFont(), FormFont(11), FormFont(16, false, true),
                                             QFont(QStringLiteral("DejaVu Sans"))}));
    out.flush();
}

void WarnOfMissingWindowFaces() {
    WarnOfMissingWindowFaces(std::cerr);
}

}  // namespace kvartix
