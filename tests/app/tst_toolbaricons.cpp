// Every tool bar button of both frames shows a picture and keeps its Korean
// text as the tool tip; without an icon theme the pictures are the
// program's own.
#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/eyeapp.h"
#include "app/frameseams.h"
#include "app/mainframe.h"
#include "app/showframe.h"
#include "app/toolbaricons.h"
#include "tests/support/scratchdir.h"

#include <QImage>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <QtTest>

#include <filesystem>
#include <unistd.h>

using namespace kamelo;

namespace {

struct QuietSeams : FrameSeams {
    void showMessage(const QString&) override {}
};

bool hasHangul(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3)
            return true;
    return false;
}

// Checks every button of a frame's tool bar; returns how many it saw.
int checkBar(QMainWindow* frame) {
    auto* bar = frame->findChild<QToolBar*>(QStringLiteral("Toolbar"));
    if (!bar)
        return -1;
    int buttons = 0;
    for (QAction* a : bar->actions()) {
        if (a->isSeparator())
            continue;
        QString tip, text;
        QIcon icon;
        if (auto* w = qobject_cast<QWidgetAction*>(a)) {
            auto* button = qobject_cast<QToolButton*>(w->defaultWidget());
            if (!button)
                continue;
            icon = button->icon();
            tip = button->toolTip();
            text = button->text();
        } else {
            icon = a->icon();
            tip = a->toolTip();
            text = CommandTable::toolText(a->text());
            // The button on the bar shows it.
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a));
            if (!button || button->icon().isNull())
                return -1;
        }
        if (icon.isNull() || icon.pixmap(24).isNull()) {
            qWarning() << "no icon:" << text;
            return -1;
        }
        if (tip != text || !hasHangul(tip)) {
            qWarning() << "tool tip" << tip << "for" << text;
            return -1;
        }
        ++buttons;
    }
    return buttons;
}

} // namespace

class TestToolBarIcons : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        alarm(120);
        // No desktop theme here: the bundled pictures must stand in.
        QIcon::setThemeName(QStringLiteral("kamelo-no-such-theme"));
    }

    void everyBundledPictureExists() {
        for (int id : {cmd::kViewLarge, cmd::kPrint, cmd::kExif, cmd::kRotate, cmd::kResize,
                       cmd::kBackToBrowser, cmd::kFullScreen, cmd::kEditMode}) {
            const QStringList names = ToolBarIcons::namesFor(id);
            QVERIFY(!names.isEmpty());
            const QImage art(QStringLiteral(":/icons/%1.png").arg(names.last()));
            QVERIFY2(!art.isNull(), qPrintable(names.last()));
            QCOMPARE(art.size(), QSize(24, 24));
            QVERIFY(art.hasAlphaChannel());
            // Without a theme the icon is exactly the bundled picture.
            QCOMPARE(ToolBarIcons::icon(names).pixmap(24).toImage().convertToFormat(
                         QImage::Format_ARGB32_Premultiplied),
                     art.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        }
        QVERIFY(!ToolBarIcons::icon(ToolBarIcons::wallpaperNames()).isNull());
        QVERIFY(ToolBarIcons::namesFor(cmd::kSelectAll).isEmpty());
        QVERIFY(ToolBarIcons::icon({}).isNull());
    }

    void bothFramesShowPicturesWithKoreanTips() {
        kamelo::test::ScratchDir dir;
        std::filesystem::create_directories(dir.file("program"));
        std::filesystem::create_directories(dir.file("photos"));
        QImage img(40, 30, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        const QString photo = QString::fromStdString(dir.file("photos/a.png"));
        QVERIFY(img.save(photo, "PNG"));

        StartupOptions o;
        o.programFolder = dir.file("program");
        o.settingsPath = dir.file("config/Kamelo.sqlite");
        o.userDataFolder = dir.file("userdata");
        o.arguments = {photo.toStdString()};
        CEyeApp app(std::move(o), std::make_unique<QuietSeams>());
        QVERIFY(app.initInstance());
        QVERIFY(app.mainFrame());
        QCOMPARE(checkBar(app.mainFrame()), 6); // five commands and the wallpaper menu
        QVERIFY(QTest::qWaitFor([&] { return app.viewerFrame() != nullptr; }, 5000));
        QCOMPARE(checkBar(app.viewerFrame()), 3);
        if (CShowFrame* v = app.viewerFrame())
            v->close();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app.exitInstance(0);
    }
};

QTEST_MAIN(TestToolBarIcons)
#include "tst_toolbaricons.moc"
