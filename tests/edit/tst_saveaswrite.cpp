// What Save As writes: the estimated size with the camera information kept,
// the orientation mark, and the messages when it cannot write or would
// replace a file.
#include "edit/saveasdialog.h"
#include "edit/saveasjpegpanel.h"
#include "exif/jpegpropertyinfo.h"
#include "imaging/fileinfo.h"
#include "imaging/picturefile.h"
#include "tests/edit/saveasenv.h"
#include "tests/support/scratchdir.h"
#include "tests/support/testdata.h"
#include "tests/support/watchdog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

using namespace kamelo;
using namespace kamelo::edit;
using namespace kamelo::test::saveas;
namespace fs = std::filesystem;

namespace {

// Answers the next message box that comes up: records its text and presses
// the button given (by a mouse click on it), or Return.
class MessageAnswer : public QObject {
public:
    explicit MessageAnswer(QMessageBox::StandardButton button = QMessageBox::NoButton)
        : button_(button) {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            texts << box->text();
            if (QAbstractButton* b =
                    button_ != QMessageBox::NoButton ? box->button(button_) : nullptr)
                QTest::mouseClick(b, Qt::LeftButton);
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        timer_.start();
    }
    QStringList texts;

private:
    QMessageBox::StandardButton button_;
    QTimer timer_;
};

QStringList filesIn(const kamelo::test::ScratchDir& dir) {
    return QDir(QString::fromStdString(dir.path()))
        .entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestSaveAsWrite : public QObject {
    Q_OBJECT
    kamelo::test::ScratchDir home_;

private slots:
    void initTestCase() { useOwnHome(home_); }

    void savedJpegIsTheEstimateAndKeepsTheCameraInformation() {
        kamelo::test::Watchdog dog(60);
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found");
        Fixture f;
        makeCameraSource(f, "Canon_40D.jpg");
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        const int64_t estimate = d.jpegPanel()->estimatedBytes();
        const int kb = kilobytesIn(d.jpegPanel()->estimateLabel());
        saveUnder(d, QStringLiteral("copy"));
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const QString out = QString::fromStdString(f.dir.file("copy.jpg"));
        QCOMPARE(QFileInfo(d.savedPath()).canonicalFilePath(), QFileInfo(out).canonicalFilePath());
        QCOMPARE(QFileInfo(out).size(), qint64(estimate));
        QCOMPARE(int(QFileInfo(out).size() / 1024), kb);
        const JpegPropertyInfo back = JpegPropertyInfo::read(out.toStdString());
        QVERIFY(back.has(271));
        QCOMPARE(QString::fromStdString(back.item(271)->text), QStringLiteral("Canon"));
        QCOMPARE(QString::fromStdString(back.item(272)->text), QStringLiteral("Canon EOS 40D"));
        QCOMPARE(QString::fromStdString(back.item(36867)->text),
                 QStringLiteral("2008:05:30 15:56:01"));
        QVERIFY(back.has(33434));
    }

    void anUnknownExtensionWritesNothingAndSaysSo() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        MessageAnswer answer;
        saveUnder(d, QStringLiteral("out.xyz"));
        QTRY_COMPARE(answer.texts.size(), 1);
        QCOMPARE(answer.texts.first(), QStringLiteral("'out.xyz'을(를) 저장하지 못했습니다."));
        QCOMPARE(d.saveResult(), 0);
        QVERIFY(d.savedPath().isEmpty());
        // The dialog stays for another choice; nothing was written.
        QVERIFY(d.isVisible());
        QCOMPARE(filesIn(f.dir), QStringList{QStringLiteral("source.jpg")});
        d.reject();
    }

    void aFailedWriteSaysWhyAndKeepsTheOldFile() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        const std::string existing = f.dir.file("keep.jpg");
        kamelo::test::writeFile(existing, "old bytes");
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        {
            // A file-size limit fails the write the way a full disk does.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit before{};
            ::getrlimit(RLIMIT_FSIZE, &before);
            rlimit limit = before;
            limit.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            MessageAnswer answers(QMessageBox::Yes); // replace, then the failure
            saveUnder(d, QStringLiteral("keep.jpg"));
            ::setrlimit(RLIMIT_FSIZE, &before);
            QTRY_COMPARE(answers.texts.size(), 2);
            QCOMPARE(answers.texts.at(1), QStringLiteral("'keep.jpg'을(를) 저장하지 못했습니다.\n"
                                                         "디스크 공간이 부족합니다."));
        }
        QVERIFY(d.saveResult() < 0);
        QVERIFY(d.isVisible());
        QCOMPARE(kamelo::test::readFile(existing), std::string("old bytes"));
        QCOMPARE(filesIn(f.dir),
                 (QStringList{QStringLiteral("keep.jpg"), QStringLiteral("source.jpg")}));

        // A folder that is not there.
        {
            MessageAnswer answer;
            saveUnder(d, QStringLiteral("missing/x.png"));
            QTRY_COMPARE(answer.texts.size(), 1);
            QVERIFY(answer.texts.first().startsWith(
                QStringLiteral("'x.png'을(를) 저장하지 못했습니다.\n")));
        }
        QVERIFY(d.isVisible());
        QVERIFY(!fs::exists(f.dir.file("missing")));
        d.reject();
    }

    void asksBeforeReplacing() {
        kamelo::test::Watchdog dog(60);
        Fixture f;
        makeGeneratedSource(f);
        const std::string existing = f.dir.file("exists.jpg");
        kamelo::test::writeFile(existing, "keep me");
        CSaveAsDialog d(f.picture, f.source, false);
        showAndActivate(d);
        {
            MessageAnswer no(QMessageBox::No);
            saveUnder(d, QStringLiteral("exists.jpg"));
            QTRY_COMPARE(no.texts.size(), 1);
        }
        QVERIFY(d.isVisible());
        QCOMPARE(kamelo::test::readFile(existing), std::string("keep me"));
        {
            MessageAnswer yes(QMessageBox::Yes);
            saveUnder(d, QStringLiteral("exists.jpg"));
            QTRY_COMPARE(yes.texts.size(), 1);
        }
        QVERIFY(!d.isVisible());
        imaging::FileInfo info;
        QVERIFY(imaging::PictureFile::readInfo(existing, info) >= 1);
        QCOMPARE(info.width, 360);
    }

    void orientationMarkWritesUprightAndIsCleared() {
        kamelo::test::Watchdog dog(60);
        if (kamelo::test::testDataDir().empty())
            QSKIP("sample pictures not found");
        for (bool mark : {false, true}) {
            Fixture f;
            makeCameraSource(f, "Sony Cybershot (3).jpg");
            QCOMPARE(int(JpegPropertyInfo::read(f.source.toStdString()).shortOr(274)), 6);
            CSaveAsDialog d(f.picture, f.source, false);
            d.setOrientationMark(mark);
            showAndActivate(d);
            const int64_t estimate = d.jpegPanel()->estimatedBytes();
            saveUnder(d, QStringLiteral("turned.jpg"));
            const std::string out = f.dir.file("turned.jpg");
            QCOMPARE(int(JpegPropertyInfo::read(out).shortOr(274)), mark ? 1 : 6);
            QCOMPARE(QFileInfo(QString::fromStdString(out)).size(), qint64(estimate));
            QVERIFY(!d.orientationMark());
        }
    }
};

QTEST_MAIN(TestSaveAsWrite)
#include "tst_saveaswrite.moc"
