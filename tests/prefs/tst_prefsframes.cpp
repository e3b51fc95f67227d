// The frames and the sheets: every shortcut of both frames is in the about
// sheet's list, and Ctrl+O opens the preferences from either frame.
#include "app/mainframe.h"
#include "app/showframe.h"
#include "prefs/aboutsheet.h"
#include "prefs/preferencessheet.h"
#include "tests/app/programrun.h"
#include "tests/support/modalscript.h"
#include "tests/support/watchdog.h"

#include <QAction>
#include <QRegularExpression>
#include <QtTest>

using namespace kamelo;

class TestPrefsFrames : public QObject {
    Q_OBJECT

    static QStringList missingShortcuts(QWidget* frame, const QString& text) {
        QStringList missing;
        // Each entry of the list is a key at the start of a line or after ", ".
        QStringList keys;
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            const QString head = line.section(QStringLiteral("  "), 0, 0);
            for (const QString& k : head.split(QStringLiteral(", ")))
                keys << k.trimmed();
        }
        for (QAction* a : frame->findChildren<QAction*>())
            for (const QKeySequence& k : a->shortcuts()) {
                const QString name = k.toString(QKeySequence::PortableText);
                if (!name.isEmpty() && !keys.contains(name))
                    missing << name;
            }
        return missing;
    }

private slots:
    void everyShortcutIsListed() {
        test::Watchdog dog(120);
        test::ProgramRun run;
        run.start({run.photo("a.png").toStdString()});
        CShowFrame* viewer = run.viewer();
        QVERIFY(viewer);
        const QString text = prefs::CAboutSheet::acceleratorText();
        QVERIFY(!text.isEmpty());
        QCOMPARE(missingShortcuts(run.frame(), text), QStringList());
        QCOMPARE(missingShortcuts(viewer, text), QStringList());
        run.stop();
    }

    void ctrlOOpensThePreferences() {
        test::Watchdog dog(120);
        test::ProgramRun run;
        run.start();
        QVERIFY(run.browsePhotos());
        bool seen = false;
        test::Script script(
            {{[] { return test::activeModal<prefs::CPreferencesSheet>() != nullptr; },
              [&] {
                  seen = true;
                  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
              }}});
        run.list()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
        QTRY_VERIFY(seen);
        run.stop();
    }
};

QTEST_MAIN(TestPrefsFrames)
#include "tst_prefsframes.moc"
