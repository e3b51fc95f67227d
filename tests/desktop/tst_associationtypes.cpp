#include "desktop/core/associationtable.h"

#include <QMimeDatabase>
#include <QtTest>

using kamelo::desktop::AssociationTable;

class TestAssociationTypes : public QObject {
    Q_OBJECT
private slots:
    void typesMatchTheDatabase() {
        QMimeDatabase db;
        for (const auto& row : AssociationTable::rows()) {
            const QString file = QStringLiteral("picture") + QLatin1String(row.extension);
            const QMimeType type = db.mimeTypeForFile(file, QMimeDatabase::MatchExtension);
            QCOMPARE(type.name(), QString::fromStdString(row.mimeTypes.front()));
            for (size_t i = 1; i < row.mimeTypes.size(); ++i) {
                const QString alias = QString::fromStdString(row.mimeTypes[i]);
                QVERIFY2(type.aliases().contains(alias), qPrintable(alias));
                QCOMPARE(db.mimeTypeForName(alias).name(), type.name());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestAssociationTypes)
#include "tst_associationtypes.moc"
