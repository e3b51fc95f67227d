// Qt's Korean catalogue and the one-face UI font.
#include "chrome/uilocale.h"

#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>
#include <QTextLayout>
#include <QtTest>

#include <unistd.h>

using namespace kamelo;

namespace {

// The faces a line of text is drawn with.
QStringList facesOf(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QStringList faces;
    for (const QGlyphRun& run : layout.glyphRuns())
        faces << run.rawFont().familyName();
    faces.removeDuplicates();
    return faces;
}

bool koreanFontInstalled() {
    const QStringList families = QFontDatabase::families();
    return families.contains(QStringLiteral("NanumGothic"), Qt::CaseInsensitive) ||
           families.contains(QStringLiteral("Noto Sans CJK KR"), Qt::CaseInsensitive);
}

} // namespace

class TestUiLocale : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { alarm(120); }

    void theChoiceTakesTheFirstKoreanFaceQtKnows() {
        using M = UiLocale::FontMatch;
        const QStringList qt{QStringLiteral("DejaVu Sans"), QStringLiteral("NanumGothic"),
                             QStringLiteral("Noto Sans CJK KR")};
        // A face without Hangul is passed over even when fontconfig named it first.
        QCOMPARE(UiLocale::chooseUiFamily({M{"DejaVu Sans", false}, M{"NanumGothic", true}}, qt),
                 QStringLiteral("NanumGothic"));
        QCOMPARE(
            UiLocale::chooseUiFamily({M{"Noto Sans CJK KR", true}, M{"NanumGothic", true}}, qt),
            QStringLiteral("Noto Sans CJK KR"));
        // A family Qt does not list cannot be used.
        QCOMPARE(UiLocale::chooseUiFamily({M{"Baekmuk Gulim", true}, M{"nanumgothic", true}}, qt),
                 QStringLiteral("nanumgothic"));
        QVERIFY(UiLocale::chooseUiFamily({M{"Baekmuk Gulim", true}}, qt).isEmpty());
        QVERIFY(UiLocale::chooseUiFamily({}, qt).isEmpty());
        QVERIFY(UiLocale::chooseUiFamily({M{"NanumGothic", true}}, {}).isEmpty());
    }

    void withoutAKoreanFaceQtsDefaultFontStays() {
        const QFont before = QApplication::font();
        QVERIFY(UiLocale::applyUiFont({UiLocale::FontMatch{"DejaVu Sans", false}}).isEmpty());
        QVERIFY(UiLocale::applyUiFont({}).isEmpty());
        QCOMPARE(QApplication::font(), before);
    }

    void digitsAndHangulAreDrawnInOneFace() {
        if (!koreanFontInstalled())
            QSKIP("neither NanumGothic nor Noto Sans CJK KR is installed");
        const QList<UiLocale::FontMatch> matches = UiLocale::koreanFontMatches();
        QVERIFY(!matches.isEmpty());
        QVERIFY(matches.first().coversKorean); // fontconfig's own pick for lang=ko
        const int size = QApplication::font().pointSize();
        const QString family = UiLocale::applyUiFont(matches);
        QVERIFY(!family.isEmpty());
        QCOMPARE(QApplication::font().family(), family);
        QCOMPARE(QApplication::font().pointSize(), size);
        for (const QString& text :
             {QStringLiteral("3008픽셀"), QStringLiteral("1/160초 (0.0063초)"),
              QStringLiteral("3008 x 2000 x 24b")}) {
            const QStringList faces = facesOf(text, QApplication::font());
            QCOMPARE(faces, QStringList{family});
        }
        // A widget made afterwards draws with it.
        QMessageBox box;
        QCOMPARE(QFontInfo(box.font()).family(), family);
    }

    void messageBoxButtonsAreKorean() {
        const QString file = UiLocale::qtCatalogueFolder() + QStringLiteral("/qtbase_ko.qm");
        if (!QFileInfo::exists(file))
            QSKIP("Qt's Korean catalogue (qt6-translations-l10n) is not installed");
        QVERIFY(UiLocale::installQtCatalogue(*qApp));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("확인"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("취소"));
    }
};

QTEST_MAIN(TestUiLocale)
#include "tst_uilocale.moc"
