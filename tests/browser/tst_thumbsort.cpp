// The list's sort by name keys: the same order as the file manager's
// comparison, however the names mix digits, case and scripts.
#include "browser/thumbsort.h"
#include "platform/nameorder.h"
#include "tests/support/scratchdir.h"

#include <QtTest>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

using namespace kamelo;

class TestThumbSort : public QObject {
    Q_OBJECT

private slots:
    void namesFollowTheFileManagersOrder_data() {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("numbers") << QStringList{"img10.jpg", "img2.jpg", "img1.jpg", "img010.jpg",
                                                "img02.jpg"};
        QTest::newRow("case") << QStringList{"b.jpg", "A.jpg", "a.jpg", "B.jpg", "ab.jpg"};
        QTest::newRow("scripts") << QStringList{"여름.jpg",  "가을.jpg",      "Zebra.jpg",
                                                "apple.jpg", "2024 여행.jpg", "2023 여행.jpg"};
        QStringList many; // enough for the keys to be made on two threads
        for (int i = 0; i < 20011; ++i)
            many << QStringLiteral("사진 %1%2.jpg").arg((i * 7919) % 20011).arg(i % 3 ? "" : "A");
        QTest::newRow("a big folder") << many;
        QTest::newRow("punctuation")
            << QStringList{"a-b.jpg", "a b.jpg", "a_b.jpg", "ab.jpg", "a.b.jpg"};
    }
    void namesFollowTheFileManagersOrder() {
        QFETCH(QStringList, names);
        std::vector<CThumbData> records;
        for (const QString& n : names) {
            CThumbData d;
            d.displayName = n.toStdString();
            d.fullPath = "/nowhere/" + d.displayName;
            records.push_back(d);
        }
        QStringList expected = names;
        NameOrder::sort(expected);
        for (const bool ascending : {true, false}) {
            ThumbSort::sort(records, ThumbSort::kName, ascending);
            QStringList got;
            for (const CThumbData& d : records)
                got << QString::fromStdString(d.displayName);
            QStringList want = expected;
            if (!ascending)
                std::reverse(want.begin(), want.end());
            QCOMPARE(got, want);
        }
    }

    void datesComeFromTheFilesAndNamesBreakTies() {
        kamelo::test::ScratchDir dir;
        const std::pair<const char*, int> files[] = {
            {"c10.jpg", 300}, {"c9.jpg", 300}, {"a.jpg", 500}, {"b.jpg", 100}};
        std::vector<CThumbData> records;
        for (const auto& [name, age] : files) {
            const std::string path = dir.file(name);
            std::ofstream(path) << name;
            const struct timespec t[2] = {{age, 0}, {age, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
            CThumbData d;
            d.displayName = name;
            d.fullPath = path;
            records.push_back(d);
        }
        ThumbSort::sort(records, ThumbSort::kDate, true);
        QStringList got;
        for (const CThumbData& d : records)
            got << QString::fromStdString(d.displayName);
        QCOMPARE(got, (QStringList{"b.jpg", "c9.jpg", "c10.jpg", "a.jpg"}));
    }
};

QTEST_MAIN(TestThumbSort)
#include "tst_thumbsort.moc"
