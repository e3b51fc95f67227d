#include "uilocale.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <fontconfig/fontconfig.h>

namespace kamelo {

namespace {

// The face fontconfig picks for a pattern, with whether it covers Korean;
// empty family when nothing matched. When wantFamily is given, a face of
// another family (fontconfig's substitute) does not count.
UiLocale::FontMatch match(const char* pattern, const QString& wantFamily = {}) {
    UiLocale::FontMatch found;
    FcPattern* p = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (!p)
        return found;
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    FcResult result = FcResultNoMatch;
    FcPattern* m = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    if (!m)
        return found;
    FcChar8* family = nullptr;
    for (int i = 0; FcPatternGetString(m, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        const QString name = QString::fromUtf8(reinterpret_cast<const char*>(family));
        if (wantFamily.isEmpty() || name.compare(wantFamily, Qt::CaseInsensitive) == 0) {
            found.family = name;
            break;
        }
    }
    FcLangSet* langs = nullptr;
    if (!found.family.isEmpty() && FcPatternGetLangSet(m, FC_LANG, 0, &langs) == FcResultMatch)
        found.coversKorean =
            FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ko")) != FcLangDifferentLang;
    FcPatternDestroy(m);
    return found;
}

} // namespace

QString UiLocale::qtCatalogueFolder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool UiLocale::installQtCatalogue(QCoreApplication& app) {
    auto* catalogue = new QTranslator(&app);
    if (!catalogue->load(QLocale(QLocale::Korean, QLocale::SouthKorea), QStringLiteral("qtbase"),
                         QStringLiteral("_"), qtCatalogueFolder())) {
        delete catalogue;
        return false;
    }
    return QCoreApplication::installTranslator(catalogue);
}

QList<UiLocale::FontMatch> UiLocale::koreanFontMatches() {
    if (!FcInit())
        return {};
    QList<FontMatch> found;
    for (const auto& [pattern, family] :
         {std::pair<const char*, QString>{"sans-serif:lang=ko", QString()},
          {"NanumGothic", QStringLiteral("NanumGothic")},
          {"Noto Sans CJK KR", QStringLiteral("Noto Sans CJK KR")}}) {
        const FontMatch m = match(pattern, family);
        if (!m.family.isEmpty())
            found << m;
    }
    return found;
}

QString UiLocale::chooseUiFamily(const QList<FontMatch>& candidates,
                                 const QStringList& qtFamilies) {
    for (const FontMatch& c : candidates)
        if (c.coversKorean && qtFamilies.contains(c.family, Qt::CaseInsensitive))
            return c.family;
    return {};
}

QString UiLocale::applyUiFont(const QList<FontMatch>& candidates) {
    const QString family = chooseUiFamily(candidates, QFontDatabase::families());
    if (family.isEmpty())
        return {};
    QFont font = QApplication::font();
    font.setFamilies({family});
    QApplication::setFont(font);
    return family;
}

} // namespace kamelo
