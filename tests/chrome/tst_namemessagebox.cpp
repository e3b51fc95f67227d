// Message boxes about files with very long names, shown over a window and
// answered with keys.
#include "chrome/fileui.h"
#include "resources/qtstrings.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace kamelo;

class TestNameMessageBox : public QObject {
    Q_OBJECT

private slots:
    void longNamesAreShortenedInTheMiddle_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("shortened");
        const QString ascii = QString(251, QLatin1Char('a')) + QStringLiteral(".jpg");
        const QString korean = QString(83, QChar(0xAC00)) + QStringLiteral(".jpg"); // 253 bytes
        QTest::newRow("error, 255 bytes") << "error" << ascii << true;
        QTest::newRow("question, Korean") << "confirm" << korean << true;
        QTest::newRow("clash, 255 bytes") << "clash" << ascii << true;
        QTest::newRow("error, short") << "error" << QStringLiteral("바다.jpg") << false;
    }
    void longNamesAreShortenedInTheMiddle() {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(bool, shortened);
        QMainWindow window;
        window.resize(640, 480);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QString text =
            kind == "clash"
                ? QString::fromUtf8(res::format(res::IDS_CLASH_QUESTION, name.toUtf8().constData()))
                : QStringLiteral("'%1'을(를) 삭제하지 못했습니다.").arg(name);
        QString shown, details, tip;
        int width = 0;
        QTimer::singleShot(0, this, [&] {
            QTRY_VERIFY(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QTRY_VERIFY(box->isVisible());
            shown = box->text();
            details = box->detailedText();
            tip = box->toolTip();
            width = box->frameGeometry().width();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        if (kind == "error")
            FileUi::standard().error(&window, text);
        else if (kind == "confirm")
            FileUi::standard().confirm(&window, text);
        else
            FileUi::standard().clash(&window, QStringLiteral("/tmp/") + name);
        QVERIFY(!shown.isEmpty());
        QVERIFY2(width <= window.width(), qPrintable(QString::number(width)));
        QCOMPARE(shown.contains(QChar(0x2026)), shortened);
        QCOMPARE(details, shortened ? text : QString());
        QCOMPARE(tip, shortened ? text : QString());
        if (shortened) {
            // The start and the end of the name stay.
            QVERIFY(shown.contains(name.left(3)));
            QVERIFY(shown.contains(name.right(6)));
        }
    }
};

QTEST_MAIN(TestNameMessageBox)
#include "tst_namemessagebox.moc"
