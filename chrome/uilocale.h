#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QCoreApplication;

namespace kamelo {

// The program speaks Korean: Qt's own texts (standard buttons, file, font,
// colour and print dialogs) come from Qt's Korean catalogue, and every text
// is drawn in one face that holds both Hangul and Latin letters, so that
// "3008픽셀" is not set in two fonts.
class UiLocale {
public:
    struct FontMatch {
        QString family;
        bool coversKorean = false;
    };

    // Loads qtbase_ko from Qt's translations folder and installs it on the
    // application (which owns it). False when the catalogue is not there.
    static bool installQtCatalogue(QCoreApplication& app);
    static QString qtCatalogueFolder();

    // What fontconfig offers for Korean: its own best sans-serif face for
    // lang=ko first, then NanumGothic and Noto Sans CJK KR by name; each
    // with whether the face really covers Korean.
    static QList<FontMatch> koreanFontMatches();
    // The first candidate that covers Korean and that Qt knows; empty when
    // there is none (Qt's default font then stays).
    static QString chooseUiFamily(const QList<FontMatch>& candidates,
                                  const QStringList& qtFamilies);
    // Makes the chosen face the application font, keeping its size.
    // Returns the family, or empty when the default font stays.
    static QString applyUiFont(const QList<FontMatch>& candidates);
    static QString applyUiFont() { return applyUiFont(koreanFontMatches()); }
};

} // namespace kamelo
