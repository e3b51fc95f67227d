// The association dialog driven by keys and clicks, in scratch XDG folders.
#include "base/settingskeys.h"
#include "base/settingsstore.h"
#include "desktop/associationdialog.h"
#include "desktop/associationlist.h"
#include "desktop/core/associations.h"
#include "resources/qtstrings.h"
#include "tests/support/modalscript.h"
#include "tests/support/scratchdir.h"
#include "tests/support/watchdog.h"

#include <QCheckBox>
#include <QLabel>
#include <QtTest>

#include <filesystem>

using namespace kamelo;
using namespace kamelo::desktop;

class TestAssociationDialog : public QObject {
    Q_OBJECT
    std::unique_ptr<test::ScratchDir> scratch;
    std::unique_ptr<SettingsStore> store;
    std::string base;

    Associations make() {
        return Associations(XdgDirs::fromEnvironment(), *store, base + "/프로그램/kamelo");
    }

private slots:
    void init() {
        scratch = std::make_unique<test::ScratchDir>();
        base = scratch->file("연결");
        for (const char* d : {"config", "data/applications", "sys"})
            std::filesystem::create_directories(base + "/" + d);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(base + "/config"));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(base + "/data"));
        qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(base + "/sys"));
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(base + "/sysconfig"));
        qunsetenv("XDG_CURRENT_DESKTOP");
        store = std::make_unique<SettingsStore>(base + "/config/s.sqlite");
        test::writeFile(base + "/data/applications/other.desktop",
                        "[Desktop Entry]\nType=Application\nName=O\nExec=/usr/bin/other %U\n"
                        "MimeType=image/png;\n");
        test::writeFile(base + "/config/mimeapps.list",
                        "[Default Applications]\nimage/png=other.desktop;\n");
    }
    void cleanup() {
        store.reset();
        scratch.reset();
    }

    void okAssociatesCheckedRowsAndKeepsTheBox() {
        test::Watchdog dog(60);
        Associations assoc = make();
        AssociationDialog dialog(assoc, *store);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        AssociationList* list = dialog.list();
        QCOMPARE(list->topLevelItemCount(), 14);
        // The explanation names the desktop's file manager, not Explorer.
        QString explanation;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            explanation += label->text();
        QVERIFY(explanation.contains(QStringLiteral("파일 관리자에서")));
        QVERIFY(!explanation.contains(QStringLiteral("탐색기")));
        QCOMPARE(list->topLevelItem(2)->text(1), QStringLiteral("/usr/bin/other"));
        QCOMPARE(list->topLevelItem(13)->text(2), QStringLiteral("Tagged Image 파일"));
        for (int row = 0; row < 14; ++row)
            QVERIFY(list->isRowChecked(row));
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Space); // .jpg off
        QVERIFY(!list->isRowChecked(0));
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Space); // .tif off, and .tiff with it
        QVERIFY(!list->isRowChecked(8));
        QVERIFY(!list->isRowChecked(13));
        QCheckBox* box = dialog.dontAsk();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        QVERIFY(box->isChecked());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!assoc.isOurs(0));
        QVERIFY(!assoc.isOurs(8));
        QVERIFY(!assoc.isOurs(13));
        QVERIFY(assoc.isOurs(2));
        QVERIFY(assoc.isOurs(12));
        QCOMPARE(store->getInt(keys::kGeneralLower, keys::kCheckFileAssociation, 0), 1);
        QCOMPARE(store->getString("FileExts\\.png", "Kamelo_bak", ""),
                 std::string("other.desktop;"));
    }

    void startupCheckOpensOnlyWhenNeeded() {
        test::Watchdog dog(60);
        // Cancelled: nothing changes.
        bool seen = false;
        test::Script cancel({{[] { return test::activeModal<AssociationDialog>() != nullptr; },
                              [&] {
                                  seen = true;
                                  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
                              }}});
        AssociationDialog::runStartupCheck(*store);
        QVERIFY(seen);
        QVERIFY(!make().isOurs(2));
        // All ours: no dialog; the watchdog ends a dialog nobody closes.
        Associations assoc = make();
        for (int row = 0; row < 14; ++row)
            QVERIFY(assoc.associate(row).ok);
        AssociationDialog::runStartupCheck(*store);
        // Asked not to: no dialog either.
        QVERIFY(assoc.remove(0).ok);
        store->setInt(keys::kGeneralLower, keys::kCheckFileAssociation, 1);
        AssociationDialog::runStartupCheck(*store);
        QVERIFY(!make().isOurs(0));
    }

    void pageListShowsTheRealState() {
        Associations assoc = make();
        QVERIFY(assoc.associate(1).ok);
        AssociationList list(AssociationList::Columns::Page, assoc);
        QCOMPARE(list.columnCount(), 2);
        QCOMPARE(list.headerItem()->text(0), res::qtext(res::IDS_ASSOC_COLUMN_EXTENSION));
        QVERIFY(list.isRowChecked(1));
        QVERIFY(!list.isRowChecked(0));
        QVERIFY(!list.isRowChecked(2));
    }
};

QTEST_MAIN(TestAssociationDialog)
#include "tst_associationdialog.moc"
