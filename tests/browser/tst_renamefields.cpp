// Names typed and pasted into the batch rename's text fields, by keys.
#include "browser/batchrenamedialog.h"
#include "chrome/fileui.h"
#include "resources/qtstrings.h"
#include "tests/support/scratchdir.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <fstream>

using namespace kamelo;

class TestRenameFields : public QObject {
    Q_OBJECT
    test::ScratchDir dir_;

private slots:
    void pasteKeepsTheAllowedCharacters_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("dropped"); // empty: no note
        QTest::newRow("clean paste") << "prefix"
                                     << "a"
                                     << "여행_"
                                     << "a여행_"
                                     << "";
        QTest::newRow("one slash") << "prefix"
                                   << ""
                                   << "2024/05 제주"
                                   << "202405 제주"
                                   << "/";
        QTest::newRow("all nine") << "prefix"
                                  << "x"
                                  << "a\\b/c:d*e?f\"g<h>i|j"
                                  << "xabcdefghij"
                                  << "\\ / : * ? \" < > |";
        QTest::newRow("twice the same") << "suffix"
                                        << ""
                                        << "a:b:c"
                                        << "abc"
                                        << ":";
        QTest::newRow("a tab") << "suffix"
                               << ""
                               << "a\tb"
                               << "ab"
                               << "U+0009";
        QTest::newRow("typed") << "prefix"
                               << "ab"
                               << ""
                               << "ab"
                               << "*";
    }
    void pasteKeepsTheAllowedCharacters() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, pasted);
        QFETCH(QString, text);
        QFETCH(QString, dropped);
        const std::string path = dir_.file("a.png");
        std::ofstream(path) << "x";
        BatchRenameDialog d({{QString::fromStdString(path), std::nullopt}}, FileUi::standard());
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        auto* edit = d.findChild<QLineEdit*>(field);
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        QTest::keyClicks(edit, typed);
        if (pasted.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Asterisk);
        } else {
            QGuiApplication::clipboard()->setText(pasted);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(edit->text(), text);
        auto* note = d.findChild<QLabel*>(QStringLiteral("renameNote"));
        if (dropped.isEmpty()) {
            QVERIFY(note->isHidden());
            return;
        }
        const QString expected = QString::fromUtf8(
            res::format(res::IDS_RENAME_CHARS_DROPPED, dropped.toUtf8().constData()));
        QCOMPARE(note->text(), expected);
        QVERIFY(note->isVisible());
        QCOMPARE(edit->toolTip(), expected);
    }
};

QTEST_MAIN(TestRenameFields)
#include "tst_renamefields.moc"
