#include "FuzzTarget.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

// Every committed seed and every past finding of one target, through the same entry point
// in the normal build: a fixed fault cannot come back unnoticed. The executable's name gives
// the target: tst_fuzz_study replays fuzz/corpus/study and fuzz/regressions/study.
class FuzzReplay : public QObject {
    Q_OBJECT

    static QString folder(const char* kind)
    {
        const QString target = QCoreApplication::applicationName().section(u'_', 2);
        return QStringLiteral(ESF_FUZZ_DIR "/%1/%2").arg(QLatin1String(kind), target);
    }

private Q_SLOTS:
    void seedsPresent() { QVERIFY(!QDir(folder("corpus")).entryList(QDir::Files).isEmpty()); }

    void replay_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* kind : {"corpus", "regressions"}) {
            QDirIterator it(folder(kind), QDir::Files);
            while (it.hasNext()) {
                const QString path = it.next();
                QTest::newRow(qPrintable(QLatin1String(kind) + u'/' + it.fileName())) << path;
            }
        }
    }

    void replay()
    {
        QFETCH(QString, file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(fuzzOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                         static_cast<std::size_t>(bytes.size())),
                 0);
    }
};

QTEST_MAIN(FuzzReplay)
#include "FuzzReplay.moc"
