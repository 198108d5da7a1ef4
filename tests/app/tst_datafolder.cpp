#include "TestFiles.h"
#include "app/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <unistd.h>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

class TestDataFolder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void theFolderComesFromArgumentEnvironmentOrHome_data();
    void theFolderComesFromArgumentEnvironmentOrHome();
    void aNewFolderIsCreatedSeededAndEntered();
    void seedingFillsOnlyWhatIsMissing();
    void withoutShippedFilesNothingIsSeeded();
    void aFolderThatCannotBeCreatedIsNamedWithTheReason();
    void aReadOnlyFolderIsRefused();

private:
    QTemporaryDir m_dir;
    QString m_shipped;
    QString m_startDir;
};

void TestDataFolder::init()
{
    QVERIFY(m_dir.isValid());
    m_startDir = QDir::currentPath();
    m_shipped = m_dir.filePath(u"share"_s);
    QVERIFY(QDir().mkpath(m_shipped + u"/help"_s));
    writeFile(m_shipped + u"/ECG-1.ecg"_s, QByteArray(12, '\x01'));
    writeFile(m_shipped + u"/BRUCE MODIFICADO.pro"_s, "shipped protocol");
    writeFile(m_shipped + u"/Datosgen.txt"_s, "shipped general data");
    writeFile(m_shipped + u"/help/index.html"_s, "not a top-level file");
}

void TestDataFolder::cleanup()
{
    QDir::setCurrent(m_startDir);
    m_dir.remove();
    m_dir = QTemporaryDir();
}

void TestDataFolder::theFolderComesFromArgumentEnvironmentOrHome_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("expected");
    const QString here = QDir::currentPath();
    QTest::newRow("nothing: ~/Esfuerzo") << QStringList() << QString() << u"/home/ana/Esfuerzo"_s;
    QTest::newRow("empty variable ignored") << QStringList() << u""_s << u"/home/ana/Esfuerzo"_s;
    QTest::newRow("variable") << QStringList() << u"/srv/lab/"_s << u"/srv/lab"_s;
    QTest::newRow("argument wins")
        << QStringList{u"/media/usb/Estudios"_s} << u"/srv/lab"_s << u"/media/usb/Estudios"_s;
    QTest::newRow("relative argument")
        << QStringList{u"datos/../lab"_s} << QString() << here + u"/lab"_s;
    QTest::newRow("dot is the current directory") << QStringList{u"."_s} << u"/srv/lab"_s << here;
    QTest::newRow("relative variable") << QStringList() << u"lab"_s << here + u"/lab"_s;
}

void TestDataFolder::theFolderComesFromArgumentEnvironmentOrHome()
{
    QFETCH(QStringList, args);
    QFETCH(QString, environment);
    QFETCH(QString, expected);
    QCOMPARE(chooseDataFolder(args, environment, u"/home/ana"_s), expected);
}

void TestDataFolder::aNewFolderIsCreatedSeededAndEntered()
{
    const QString folder = m_dir.filePath(u"home/ana/Esfuerzo"_s);
    QCOMPARE(enterDataFolder(folder, m_shipped), QString());
    QCOMPARE(QDir::currentPath(), folder);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{u"BRUCE MODIFICADO.pro"_s, u"Datosgen.txt"_s, u"ECG-1.ecg"_s}));
    QCOMPARE(readFile(folder + u"/ECG-1.ecg"_s), QByteArray(12, '\x01'));
    QCOMPARE(readFile(folder + u"/BRUCE MODIFICADO.pro"_s), QByteArray("shipped protocol"));
}

void TestDataFolder::seedingFillsOnlyWhatIsMissing()
{
    const QString folder = m_dir.filePath(u"lab"_s);
    QVERIFY(QDir().mkpath(folder));
    writeFile(folder + u"/Datosgen.txt"_s, "Hospital del lab");
    writeFile(folder + u"/ECG-1.ecg"_s, "");
    QVERIFY(
        QFile::link(u"/nonexistent/BRUCE MODIFICADO.pro"_s, folder + u"/BRUCE MODIFICADO.pro"_s));

    QCOMPARE(enterDataFolder(folder, m_shipped), QString());
    QCOMPARE(readFile(folder + u"/Datosgen.txt"_s), QByteArray("Hospital del lab"));
    QCOMPARE(readFile(folder + u"/ECG-1.ecg"_s), QByteArray());
    QCOMPARE(QFileInfo(folder + u"/BRUCE MODIFICADO.pro"_s).symLinkTarget(),
             u"/nonexistent/BRUCE MODIFICADO.pro"_s);

    // A file deleted since the last start comes back; the rest stay as the user left them.
    QVERIFY(QFile::remove(folder + u"/ECG-1.ecg"_s));
    QCOMPARE(enterDataFolder(folder, m_shipped), QString());
    QCOMPARE(readFile(folder + u"/ECG-1.ecg"_s), QByteArray(12, '\x01'));
    QCOMPARE(readFile(folder + u"/Datosgen.txt"_s), QByteArray("Hospital del lab"));
}

void TestDataFolder::withoutShippedFilesNothingIsSeeded()
{
    const QString folder = m_dir.filePath(u"lab"_s);
    QCOMPARE(enterDataFolder(folder, m_dir.filePath(u"no-share"_s)), QString());
    QCOMPARE(QDir::currentPath(), folder);
    QVERIFY(QDir(folder).isEmpty());
}

void TestDataFolder::aFolderThatCannotBeCreatedIsNamedWithTheReason()
{
    writeFile(m_dir.filePath(u"Esfuerzo"_s), "a file where the folder should be");
    for (const QString& folder : {m_dir.filePath(u"Esfuerzo"_s), m_dir.filePath(u"Esfuerzo/a"_s)}) {
        QCOMPARE(enterDataFolder(folder, m_shipped),
                 u"No se puede usar la carpeta de trabajo \"%1\": una parte del camino es un "
                 u"archivo, no una carpeta."_s.arg(folder));
        QCOMPARE(QDir::currentPath(), m_startDir);
    }
}

void TestDataFolder::aReadOnlyFolderIsRefused()
{
    if (::geteuid() == 0)
        QSKIP("permission bits do not stop the superuser");
    const QString folder = m_dir.filePath(u"lab"_s);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    const QString problem = enterDataFolder(folder, m_shipped);
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(problem,
             u"No se puede usar la carpeta de trabajo \"%1\": permiso denegado."_s.arg(folder));
    QVERIFY(QDir(folder).isEmpty());
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
