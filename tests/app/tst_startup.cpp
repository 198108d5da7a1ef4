#include "TestFiles.h"
#include "app/DataFolder.h"
#include "app/ZirodIni.h"
#include "common/FileError.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <unistd.h>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

// Offsets: 0 i32 patient number, 4 u8 port, 5 string[100] protocol, 106 u8 formula.
QByteArray handBuilt()
{
    QByteArray b(107, '\0');
    b[0] = char(0x0C); // 12
    b[4] = char(2);
    const QByteArray name("C:\\ERGO\\BRUCE.pro");
    b[5] = char(name.size());
    b.replace(6, name.size(), name);
    b[106] = char(7);
    return b;
}

} // namespace

// The data folder chosen and seeded at start, and Zirod.ini with its four fields.
class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_startDir = QDir::currentPath();
        m_shipped = m_dir.filePath(u"share"_s);
        m_path = m_dir.filePath(u"Zirod.ini"_s);
        QVERIFY(QDir().mkpath(m_shipped + u"/help"_s));
        writeFile(m_shipped + u"/ECG-1.ecg"_s, QByteArray(12, '\x01'));
        writeFile(m_shipped + u"/BRUCE MODIFICADO.pro"_s, "shipped protocol");
        writeFile(m_shipped + u"/Datosgen.txt"_s, "shipped general data");
        writeFile(m_shipped + u"/help/index.html"_s, "not a top-level file");
    }
    void cleanup()
    {
        QDir::setCurrent(m_startDir);
        m_dir.remove();
        m_dir = QTemporaryDir();
    }
    void theFolderComesFromArgumentEnvironmentOrHome_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing: ~/Esfuerzo") << QStringList() << u""_s << u"/home/ana/Esfuerzo"_s;
        QTest::newRow("variable") << QStringList() << u"/srv/lab/"_s << u"/srv/lab"_s;
        QTest::newRow("argument wins")
            << QStringList{u"/media/usb/Estudios"_s} << u"/srv/lab"_s << u"/media/usb/Estudios"_s;
        QTest::newRow("relative argument")
            << QStringList{u"datos/../lab"_s} << QString() << QDir::currentPath() + u"/lab"_s;
    }
    void theFolderComesFromArgumentEnvironmentOrHome()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, environment);
        QFETCH(QString, expected);
        QCOMPARE(chooseDataFolder(args, environment, u"/home/ana"_s), expected);
    }
    void theFolderIsCreatedEnteredAndSeededWithWhatIsMissing()
    {
        const QString folder = m_dir.filePath(u"home/ana/Esfuerzo"_s);
        QCOMPARE(enterDataFolder(folder, m_shipped), QString());
        QCOMPARE(QDir::currentPath(), folder);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name),
                 (QStringList{u"BRUCE MODIFICADO.pro"_s, u"Datosgen.txt"_s, u"ECG-1.ecg"_s}));

        // What the user changed, emptied or linked stays; a file deleted since comes back.
        writeFile(folder + u"/Datosgen.txt"_s, "Hospital del lab");
        QVERIFY(QFile::remove(folder + u"/ECG-1.ecg"_s));
        QVERIFY(QFile::remove(folder + u"/BRUCE MODIFICADO.pro"_s));
        QVERIFY(QFile::link(u"/nonexistent/x.pro"_s, folder + u"/BRUCE MODIFICADO.pro"_s));
        QCOMPARE(enterDataFolder(folder, m_shipped), QString());
        QCOMPARE(readFile(folder + u"/Datosgen.txt"_s), QByteArray("Hospital del lab"));
        QCOMPARE(readFile(folder + u"/ECG-1.ecg"_s), QByteArray(12, '\x01'));
        QCOMPARE(QFileInfo(folder + u"/BRUCE MODIFICADO.pro"_s).symLinkTarget(),
                 u"/nonexistent/x.pro"_s);
    }
    void aFolderThatCannotBeUsedIsNamedWithTheReason_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        const QString file = u"una parte del camino es un archivo, no una carpeta"_s;
        QTest::newRow("a file") << u"Esfuerzo"_s << file;
        QTest::newRow("too long") << QString(300, u'x') << u"el nombre es demasiado largo"_s;
        QTest::newRow("read-only") << u"lab"_s << u"permiso denegado"_s;
    }
    void aFolderThatCannotBeUsedIsNamedWithTheReason()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        const QString folder = m_dir.filePath(name);
        writeFile(m_dir.filePath(u"Esfuerzo"_s), "a file where the folder should be");
        if (name == u"lab"_s) {
            if (::geteuid() == 0)
                QSKIP("permission bits do not stop the superuser");
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        const QString problem = enterDataFolder(folder, m_shipped);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(problem,
                 u"No se puede usar la carpeta de trabajo \"%1\": %2."_s.arg(folder, reason));
        QCOMPARE(QDir::currentPath(), m_startDir);
    }
    void theProgramAnswersOptionsAndRefusesStrayArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("version") << QStringList{u"-v"_s} << 0 << u"esfuerzo 2007.1.1\n"_s;
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << u"uso: esfuerzo [CARPETA]\n"_s;
        QTest::newRow("two folders") << QStringList{u"a"_s, u"b"_s} << 2 << u"uso: esfuerzo"_s;
        QTest::newRow("unknown option") << QStringList{u"-x"_s} << 2 << u"uso: esfuerzo"_s;
    }
    void theProgramAnswersOptionsAndRefusesStrayArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, output);
        QProcess p;
        p.start(QStringLiteral(ESF_APP_PATH), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), status);
        const QByteArray shown = status == 0 ? p.readAllStandardOutput() : p.readAllStandardError();
        QVERIFY2(shown.contains(output.toUtf8()), shown.constData());
    }

    void fourFieldsAtTheirOffsets()
    {
        const ZirodConfig c{12, 2, u"C:\\ERGO\\BRUCE.pro"_s, 7};
        QCOMPARE(decodeZirod(handBuilt(), u"Zirod.ini"_s), c);
        QCOMPARE(encodeZirod(c), handBuilt());
        QCOMPARE(encodeZirod(ZirodConfig()), QByteArray(107, '\0'));

        QByteArray b = handBuilt();
        b[5] = char(5); // only "C:\ER" is significant; the rest is old junk
        const ZirodConfig cut = decodeZirod(b, u"Zirod.ini"_s);
        QCOMPARE(cut.protocolFileName, u"C:\\ER"_s);
        QCOMPARE(cut.maxHRFormula, quint8(7));

        writeFile(m_path, handBuilt().left(106));
        QVERIFY_THROWS_EXCEPTION(FileError, readZirod(m_path));
        QVERIFY_THROWS_EXCEPTION(FileError, readZirod(m_dir.filePath(u"missing.ini"_s)));
    }
    void updatesKeepWhatFollowsByte107AndExtendShortFiles()
    {
        const QByteArray tail("extra bytes of a newer installation");
        writeFile(m_path, handBuilt() + tail);
        updateZirodPatientNumber(m_path, 0x01020304); // only those four bytes change
        QCOMPARE(readFile(m_path), "\x04\x03\x02\x01" + handBuilt().mid(4) + tail);
        ZirodConfig c = readZirod(m_path);
        c.portIndex = 0;
        c.maxHRFormula = 3;
        updateZirod(m_path, c);
        QCOMPARE(readFile(m_path), encodeZirod(c) + tail);

        writeFile(m_path, QByteArray(10, '\x01'));
        c = ZirodConfig{3, 0, {}, 0};
        updateZirod(m_path, c);
        QCOMPARE(readFile(m_path), encodeZirod(c));
    }

private:
    QTemporaryDir m_dir;
    QString m_shipped;
    QString m_startDir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
