#include "Fixtures.h"
#include "app/ZirodIni.h"
#include "cli/Cli.h"
#include "common/BinaryIO.h"
#include "protocol/ProtocolRecord.h"
#include "records/PatientFile.h"
#include "records/StudyFile.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
    // The value at a path of keys and indexes of the JSON written, such as "records/0/st/1".
    QJsonValue json(const QString& path) const
    {
        QJsonValue v = QJsonDocument::fromJson(out.toUtf8()).object();
        for (const QString& step : path.split(u'/')) {
            bool isIndex = false;
            const int i = step.toInt(&isIndex);
            v = isIndex ? v.toArray().at(i) : v.toObject().value(step);
        }
        return v;
    }
};

// The words of args through the command line's entry point; "D/" names a file of dir.
Result runCli(const QString& args, const QString& dir)
{
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = cli::run(QString(args).replace(u"D/"_s, dir + u'/').split(u' ', Qt::SkipEmptyParts),
                        out, err);
    out.flush();
    err.flush();
    return r;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void dumpShowsProtocolAndReport();
    void dumpShowsAStudyAndReportsATornTail();
    void statusAndMessage_data();
    void statusAndMessage();

private:
    Result run(const QString& args) const { return runCli(args, m_dir.path()); }
    QTemporaryDir m_dir;
};

// The work folder: ten frames of 100, -3, 3 (16 bits little-endian); a study of four records with
// its patient and a configuration; in bad/ damaged files and a torn study its patient does not
// list.
void TestCli::initTestCase()
{
    const QDir work(m_dir.path());
    QDir::setCurrent(work.path());
    writeFile(work.filePath(u"constant.ecg"_s),
              QByteArray("\x64\x00\xfd\xff\x03\x00", 6).repeated(10));
    writeFile(work.filePath(u"x.ecg"_s), "\x01\x02\x03"); // no whole frame
    writeFile(work.filePath(u"Zirod.ini"_s), encodeZirod({13, 2, u"PRUEBA.pro"_s, 6}) + "tail");
    // General data: ten lines in Windows-1252, a short file reads the rest as empty.
    writeFile(work.filePath(u"Datosgen.txt"_s),
              "Cl\xednica\r\nSan Mart\xedn 1\r\n\r\nDra. P\xe9rez\r\n");
    const QByteArray study = encodeStudy(reviewProtocol(), reviewRecords(4));
    writeFile(work.filePath(u"0012_001.est"_s), study);
    writePatient(work.filePath(u"00000012.DAT"_s), {u"Ana"_s, u"Núñez"_s, 160, u"01/01/1960"_s, 1},
                 1, {u"0012_001.est|12/03/2007"_s});
    QVERIFY(QFile::copy(QStringLiteral(ESF_TEST_DATA "/wordpad-informe.rtf"),
                        work.filePath(u"0012_001.INF"_s)));
    QVERIFY(work.mkdir(u"bad"_s));
    writeFile(work.filePath(u"bad/Zirod.ini"_s), QByteArray(106, '\0'));
    writeFile(work.filePath(u"bad/X.pro"_s), QByteArray(387, '\0'));
    writeFile(work.filePath(u"bad/00000001.DAT"_s), QByteArray(176, '\0'));
    writeFile(work.filePath(u"bad/0012_001.est"_s), study.left(study.size() - 10));
    writePatient(work.filePath(u"bad/00000012.DAT"_s), kAna, 0);
    writePatient(work.filePath(u"bad/00000002.DAT"_s), kAna, 2, {u"0002_001.est|01/02/2026"_s});
    writeFile(work.filePath(u"bad/Datosgen.txt"_s), "\n\n\n\n\n\n\n\n\nlogo.bmp\n");
    writeFile(work.filePath(u"bad/logo.bmp"_s), "BM not a picture");
}

void TestCli::dumpShowsProtocolAndReport()
{
    ProtocolRecord p = makeProtocol(u"PRUEBA"_s, 0, {{1, 0, 180, 0.0f, 10.0f, 2.7f}});
    p.stages[1] = {2, 1, 75, 0.0f, 12.0f, 4.0f}; // beyond the count: not shown
    saveProtocolFile(QDir(m_dir.path()), p);
    Result r = run(u"dump D/PRUEBA.pro"_s);
    QCOMPARE(r.json(u"stages"_s).toArray().size(), 1);
    QCOMPARE(r.json(u"stages/0/speed"_s).toDouble(), 2.7);

    r = run(u"dump D/0012_001.INF"_s);
    QCOMPARE(
        QJsonDocument(r.json(u"paragraphs/1/runs/1"_s).toObject()).toJson(QJsonDocument::Compact),
        R"({"bold":false,"color":null,"font":"Arial","italic":true,"size":10,"strike":false,)"
        R"("text":"Pérez, José","underline":false})");
    QCOMPARE(r.json(u"paragraphs/2/runs/1/text"_s).toString(), u"ST ≥ 2 mm"_s);
}

void TestCli::dumpShowsAStudyAndReportsATornTail()
{
    Result r = run(u"dump D/0012_001.est"_s);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.json(u"records"_s).toArray().size(), 4);
    QCOMPARE(r.json(u"records/0/itt"_s).toInt(), 121 * 81); // systolic × heart rate
    QCOMPARE(r.json(u"records/0/st/1"_s).toDouble(), -1000.0);
    QCOMPARE(r.json(u"records/0/strip/2"_s).toArray(), QJsonArray({0, 1, 2, -2, -1, 0}));
    r = run(u"dump D/0012_001.est --strips"_s);
    QCOMPARE(r.json(u"records/0/strip/0"_s).toArray().size(), 2001);

    // As an old patient's file the same bytes hold 24039-byte records without ST.
    r = run(u"dump D/0012_001.est --version 2007.1.0"_s);
    QCOMPARE(r.status, 1); // 4 × 24051 bytes are four old records and a torn fifth
    QCOMPARE(r.json(u"records"_s).toArray().size(), 4);
    QCOMPARE(r.json(u"records/0/st/0"_s).toDouble(), -1000.0);

    // The same study summarised, exported and drawn.
    r = run(u"summary D/0012_001.est --patient D/00000012.DAT --formula 1"_s);
    QCOMPARE(r.json(u"values/maxST/2"_s).toDouble(), 0.05);
    QCOMPARE(r.json(u"rows/0/label"_s).toString(), u"FC de reposo"_s);
    run(u"export-edf D/0012_001.est --patient D/00000012.DAT --anonymous --out D/s.edf"_s);
    const QByteArray header = readFile(m_dir.filePath(u"s.edf"_s)).left(256);
    QCOMPARE(header.mid(192, 5), "EDF+C");
    QCOMPARE(header.mid(236, 8).trimmed(), "40"); // ten one-second records a strip
    run(u"review D/0012_001.est --patient D/00000012.DAT --size 640x480 --out D/s.png"_s);
    QCOMPARE(QImage(m_dir.filePath(u"s.png"_s)).size(), QSize(640, 480));

    // The copy in bad/ lost the end of record 4.
    r = run(u"dump D/bad/0012_001.est --patient D/00000012.DAT"_s);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.json(u"records"_s).toArray().size(), 3);
    QVERIFY(r.err.contains(u"registro 4"_s));
}

void TestCli::statusAndMessage_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("shown"); // part of what the command wrote
    const auto row = [](const char* args, int status, const QString& shown) {
        QTest::newRow(args) << QString::fromUtf8(args) << status << shown;
    };
    row("--version", 0, u"esfuerzo-cli 2007.1.1\n"_s);
    row("--help", 0, u"Estado de salida: 0 correcto, 1 archivo ausente, ilegible o dañado"_s);
    row("--versión", 2, u"orden desconocida '--versión'\nuso: esfuerzo-cli play ARCHIVO"_s);
    row("", 2, u"falta la orden"_s);
    row("play", 2, u"falta el archivo de muestras"_s);
    row("play x --gain 3", 2, u"--gain admite 0, 1 o 2, no '3'"_s);
    row("play x --gain", 2, u"falta el valor de --gain"_s);
    row("qrs x --frames -1", 2, u"'-1' no es un número de tramas válido"_s);
    row("qrs x --filter", 2, u"argumento desconocido '--filter'"_s);
    row("play D/constant.ecg --frames 12", 0, u"\n12,12,100,-3,3,100,-3,3,0,12,0,0\n"_s);
    row("play D/missing.ecg", 1, u"apertura en el archivo \"missing.ecg\": el archivo no existe"_s);
    row("play D/x.ecg", 1, u"no contiene ninguna trama completa de 6 bytes"_s);
    row("dump D/Zirod.ini", 0, u"\"protocolFileName\": \"PRUEBA.pro\""_s);
    row("dump D/Datosgen.txt", 0, u"\"logo\": \"\",\n    \"physician\": \"Dra. Pérez\""_s);
    row("dump D/00000012.DAT", 0, u"\"surname\": \"Núñez\""_s);
    row("dump notes.txt", 2, u"no sé interpretar el archivo 'notes.txt'"_s);
    row("dump a.ini b.ini", 2, u"dump necesita exactamente un archivo"_s);
    row("dump D/bad/Zirod.ini", 1, u"esfuerzo-cli: Error de lectura en el archivo \"Zirod.ini\""_s);
    row("dump D/bad/X.pro", 1, u"esfuerzo-cli: Error de lectura en el archivo \"X.pro\""_s);
    row("dump D/bad/00000001.DAT", 1, u"Error de lectura en el archivo \"00000001.DAT\""_s);
    row("dump D/bad/00000002.DAT", 1, u"dañada: el archivo termina antes de la entrada 2"_s);
    row("dump x.est --version", 2, u"falta el valor de --version"_s);
    row("dump x.est y", 2, u"argumento desconocido 'y'"_s);
    row("dump D/bad/none.DAT", 1, u"el archivo no existe"_s);
    row("summary x", 2, u"falta --patient\nuso: esfuerzo-cli summary ARCHIVO.est"_s);
    row("summary", 2, u"falta el archivo de estudio"_s);
    row("summary x --out y", 2, u"argumento desconocido '--out'"_s);
    row("summary x --patient p --angina 3", 2, u"--angina admite de 0 a 2, no '3'"_s);
    row("summary D/none.est --patient D/00000012.DAT", 1, u"\"none.est\": el archivo no existe"_s);
    // A damaged configuration is passed over and the torn record left out.
    row("summary D/bad/0012_001.est --patient D/bad/00000012.DAT", 0, u"\"records\": 3"_s);
    row("export-edf x --patient p", 2, u"falta --out\nuso: esfuerzo-cli export-edf"_s);
    row("review D/0012_001.est --patient D/00000012.DAT", 2,
        u"falta --out\nuso: esfuerzo-cli review"_s);
    row("review", 2, u"falta el archivo de estudio"_s);
    row("review x", 2, u"falta --patient"_s);
    row("review x --record", 2, u"falta el valor de --record"_s);
    row("review x y", 2, u"argumento desconocido 'y'"_s);
    row("review x --patient p --record 0 --out o", 2, u"'0' no es un número de registro válido"_s);
    row("review x --patient p --size 10x10 --out o", 2,
        u"'10x10' no es un tamaño válido (de 100x100 a 10000x10000)"_s);
    row("review D/none.est --patient D/00000012.DAT --out D/o.png", 1,
        u"\"none.est\": el archivo no existe"_s);
    row("review D/0012_001.est --patient D/00000012.DAT --out D/no/o.png", 1,
        u"Error de escritura en el archivo \"o.png\": no se pudo guardar la imagen"_s);
    row("review D/bad/X.pro --patient D/00000012.DAT --out D/o.png", 1,
        u"X.pro: Problemas para abrir el archivo de estudio.Posiblemente dañado"_s);
    row("review D/0012_001.est --patient D/00000012.DAT --record 9 --out D/o.png", 0,
        u"0012_001.est: 4 registros, registro 4 dibujado en "_s);
    // A torn tail is drawn without it and reported.
    row("review D/bad/0012_001.est --patient D/00000012.DAT --out D/torn.png", 1,
        u"esfuerzo-cli: 0012_001.est: el archivo termina dentro del registro 4\n"_s);
    row("dump D/0012_003.INF", 1, u"\"0012_003.INF\": el archivo no existe"_s);
    row("backup", 2, u"backup admite copy, move o restore\nuso: esfuerzo-cli backup"_s);
    row("backup copy", 2, u"falta la carpeta de la copia"_s);
    row("backup restore D/bad", 2, u"restore necesita la carpeta y un archivo de paciente"_s);
    row("backup restore D/bad 00000099.DAT", 1, u"\"00000099.DAT\": el archivo no existe"_s);
    // A damaged patient is not restored into the work folder, which is current.
    row("backup restore D/bad 00000001.DAT", 1,
        u"\"00000001.DAT\": el archivo termina antes de lo esperado"_s);
    row("print", 2, u"falta el archivo a imprimir (esfuerzo-cli --help)"_s);
    row("print x --patient", 2, u"falta el valor de --patient"_s);
    row("print x y", 2, u"argumento desconocido 'y'"_s);
    row("print x --paper A5", 2, u"--paper admite A4 o Letter, no 'A5'"_s);
    row("print x --paper a4 --dpi 2401", 2, u"--dpi admite de 72 a 2400, no '2401'"_s);
    row("print x", 2, u"falta --out ARCHIVO.pdf"_s);
    row("print x --out o.pdf", 2, u"falta --patient ARCHIVO.DAT"_s);
    // A damaged configuration leaves the default formula; the torn record is left out.
    row("print D/bad/0012_001.est --patient D/bad/00000012.DAT --paper Letter --dpi 72 --summary "
        "--select 1,2 --out D/study.pdf",
        0, u"(se usa la fórmula de Robinson)"_s);
    row("print D/bad/0012_001.est --patient D/bad/00000012.DAT --dpi 72 --out D/logo.pdf", 0,
        u"logo.bmp no se pudo leer"_s);
    row("print D/bad/0012_001.est --patient D/bad/00000012.DAT --dpi 72 --out D/torn.pdf", 0,
        u"0012_001.est: el archivo termina dentro de un registro; se imprimen los registros enteros"_s);
}

// Every failure names itself on stderr after the program's name and leaves stdout empty on a
// usage error, which shows the commands without the help's footer.
void TestCli::statusAndMessage()
{
    QFETCH(QString, args);
    QFETCH(int, status);
    QFETCH(QString, shown);
    const Result r = run(args);
    QCOMPARE(r.status, status);
    QVERIFY2((r.out + r.err).contains(shown), qPrintable(r.out + r.err));
    QVERIFY(!r.err.contains(u"Estado de salida"_s));
    if (status != 0)
        QVERIFY2(r.err.startsWith(u"esfuerzo-cli: "_s), qPrintable(r.err));
    if (status == 2)
        QVERIFY(r.out.isEmpty());
}

QTEST_MAIN(TestCli)
#include "tst_cli.moc"
