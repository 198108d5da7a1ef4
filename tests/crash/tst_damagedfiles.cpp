#include "TestFiles.h"
#include "app/ZirodIni.h"
#include "common/BinaryIO.h"
#include "common/FileError.h"
#include "protocol/ProtocolRecord.h"
#include "records/PatientFile.h"
#include "report/GeneralData.h"
#include "report/GraphicReport.h"
#include "report/RtfCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <sys/stat.h>

using namespace esf;
using namespace esf::test;

namespace {

struct Cli {
    int status = -1;
    QByteArray out;
    QString err;
};

Cli runCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(ESF_CLI_PATH), args);
    p.waitForFinished(30000);
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

using Reader = void (*)(const QString&);

} // namespace

Q_DECLARE_METATYPE(Reader)

class TestDamagedFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    // A FIFO under a data file's name would make a reader wait forever.
    void specialFileRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Reader>("read");
        QTest::addColumn<QString>("command");
        QTest::newRow("Zirod.ini")
            << "Zirod.ini" << Reader([](const QString& p) { readZirod(p); }) << "dump";
        QTest::newRow("protocolo")
            << "BRUCE.pro" << Reader([](const QString& p) { loadProtocolFile(p); }) << "dump";
        QTest::newRow("paciente") << "00000001.DAT"
                                  << Reader([](const QString& p) { readStudyEntries(p); })
                                  << "dump";
        QTest::newRow("Datosgen.txt")
            << "Datosgen.txt" << Reader([](const QString& p) { readGeneralData(p); }) << "dump";
        QTest::newRow("estudio") << "0001_001.est" << Reader([](const QString& p) {
            readPrintedStudy(p, QStringLiteral("2007.1.1"), {});
        }) << "dump";
        QTest::newRow("informe") << "0001_001.INF" << Reader([](const QString& p) {
            QTextDocument doc;
            loadReportFile(p, doc);
        }) << "dump";
        QTest::newRow("muestras") << "ECG-1.ecg" << Reader(nullptr) << "play";
    }

    void specialFileRefused()
    {
        QFETCH(QString, name);
        QFETCH(Reader, read);
        QFETCH(QString, command);
        QCOMPARE(::mkfifo(QFile::encodeName(path(name)).constData(), 0600), 0);
        try {
            if (read) {
                read(path(name));
                QFAIL("a FIFO was read");
            }
        } catch (const FileError& e) {
            QCOMPARE(e.reason(), QStringLiteral("no es un archivo normal"));
        }
        const Cli cli = runCli({command, path(name)});
        QCOMPARE(cli.status, 1);
        QVERIFY2(cli.err.contains(QStringLiteral("no es un archivo normal")), qPrintable(cli.err));
        QFile::remove(path(name));
    }

    // The count byte bounds the list; fewer whole entries than it names is damage.
    void patientListDump_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("entryBytes");
        QTest::addColumn<int>("listed");
        QTest::addColumn<QString>("damage");
        QTest::newRow("entera") << 2 << 48 << 2 << QString();
        QTest::newRow("más entradas que la cuenta") << 1 << 48 << 1 << QString();
        QTest::newRow("cortada dentro de una entrada")
            << 2 << 34 << 1
            << QStringLiteral("esfuerzo-cli: 00000001.DAT: la lista de estudios está dañada: el "
                              "archivo termina antes de la entrada 2\n");
        QTest::newRow("sin entradas") << 3 << 0 << 0
                                      << QStringLiteral("esfuerzo-cli: 00000001.DAT: la lista de "
                                                        "estudios está dañada: el archivo termina "
                                                        "antes de la entrada 1\n");
    }

    void patientListDump()
    {
        QFETCH(int, count);
        QFETCH(int, entryBytes);
        QFETCH(int, listed);
        QFETCH(QString, damage);
        const QString file = path(QStringLiteral("00000001.DAT"));
        QFile::remove(file);
        writePatientHeader(file, {}, static_cast<std::uint8_t>(count));
        QByteArray entries;
        for (int i = 1; i <= 2; ++i)
            entries += encodeString(QStringLiteral("0001_00%1.est").arg(i), 12) +
                       encodeString(QStringLiteral("14/05/2007"), 10);
        appendFile(file, entries.left(entryBytes));
        const Cli cli = runCli({QStringLiteral("dump"), file});
        QCOMPARE(cli.status, damage.isEmpty() ? 0 : 1);
        QCOMPARE(cli.err, damage);
        const QJsonObject o = QJsonDocument::fromJson(cli.out).object();
        QCOMPARE(o.value(QStringLiteral("studyCount")).toInt(), count);
        QCOMPARE(o.value(QStringLiteral("studies")).toArray().size(), listed);
    }

    // Only ten lines of bounded length are read, however big the file.
    void generalDataBounded()
    {
        const QByteArray full(kGeneralDataLineBytes, 'x');
        QByteArray tenFull;
        for (int i = 0; i < 10; ++i)
            tenFull += full + "\r\n";
        writeFile(path(kGeneralDataFileName), tenFull + QByteArray(1 << 20, 'y'));
        GeneralData d = readGeneralData(path(kGeneralDataFileName));
        QCOMPARE(d.logo, QString::fromLatin1(full));
        writeFile(path(kGeneralDataFileName), QByteArray(1 << 20, 'z') + "\r\nB\r\n");
        d = readGeneralData(path(kGeneralDataFileName));
        QCOMPARE(d.institution, QString(kGeneralDataLineBytes, u'z'));
        QCOMPARE(d.address, QString());
    }
};

QTEST_MAIN(TestDamagedFiles)
#include "tst_damagedfiles.moc"
