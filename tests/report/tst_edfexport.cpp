#include "common/FileError.h"
#include "report/EdfExport.h"

#include <QTemporaryDir>
#include <QTest>
#include <edflib.h>

using namespace esf;
using namespace Qt::StringLiterals;

// The export read back with the same library research tools use.
class TestEdfExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void failureLeavesNoFile();
};

namespace {

EdfExportInput study(std::uint8_t gain)
{
    EdfExportInput in;
    in.patient = {u"María José"_s, u"Peña"_s, 160, u"05/11/1958"_s, 0};
    in.patientCode = u"00000012"_s;
    in.studyDate = u"06/12/2026"_s;
    in.protocol = ProtocolRecord::cleared();
    in.protocol.stageCount = 2;
    in.protocol.stages[0] = {1, StageType::Basal, 180, 0, 0, 0};
    in.protocol.stages[1] = {2, StageType::Ejercicio, 180, 0, 10, 2.7f};
    for (int n = 0; n < 2; ++n) {
        StageRecord r;
        r.stage = std::uint8_t(n + 1);
        r.elapsed = 180 * (n + 1);
        r.gain = gain;
        r.systolic = 150;
        r.diastolic = 80;
        r.heartRate = 120 + n;
        r.angina = std::uint8_t(n);
        r.kind = std::uint8_t(n);
        for (int lead = 0; lead < 3; ++lead) {
            r.strip[std::size_t(lead)].resize(2001);
            for (int i = 0; i < 2001; ++i) // 1 mV steps at gain 1 = 140 units
                r.strip[std::size_t(lead)][std::size_t(i)] = (i % 7 - 3) * 140 + lead + n * 10;
        }
        in.records.push_back(r);
    }
    return in;
}

} // namespace

void TestEdfExport::roundTrip_data()
{
    QTest::addColumn<int>("gain");
    QTest::addColumn<bool>("anonymous");
    QTest::newRow("gain 1.0") << 1 << false;
    QTest::newRow("gain 0.5, anonymous") << 0 << true;
    QTest::newRow("gain 2.0") << 2 << false;
}

void TestEdfExport::roundTrip()
{
    QFETCH(int, gain);
    QFETCH(bool, anonymous);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"estudio.edf"_s);
    EdfExportInput in = study(std::uint8_t(gain));
    in.anonymous = anonymous;
    exportEdf(path, in);

    edf_hdr_struct hdr{};
    QCOMPARE(edfopen_file_readonly(QFile::encodeName(path).constData(), &hdr,
                                   EDFLIB_READ_ALL_ANNOTATIONS),
             0);
    QCOMPARE(hdr.filetype, EDFLIB_FILETYPE_EDFPLUS);
    QCOMPARE(hdr.edfsignals, 3);
    QCOMPARE(hdr.datarecords_in_file, 20LL); // two strips of ten seconds
    QCOMPARE(QByteArray(hdr.signalparam[1].label).trimmed(), "ECG V2");
    QCOMPARE(hdr.signalparam[0].smp_in_datarecord, 200);
    QCOMPARE(QByteArray(hdr.patient_name).trimmed(),
             anonymous ? QByteArray("X") : QByteArray("Pena, Maria Jose"));
    QCOMPARE(hdr.startdate_year, anonymous ? 1985 : 2026);

    // Lead V5 of the second strip: its last 2000 samples, in µV.
    std::vector<double> v(2000);
    QCOMPARE(edfseek(hdr.handle, 2, 2000, EDFSEEK_SET), 2000LL);
    QCOMPARE(edfread_physical_samples(hdr.handle, 2, 2000, v.data()), 2000);
    const double uvPerUnit = 1000.0 / (140.0 * std::array<double, 3>{0.5, 1.0, 2.0}[gain]);
    for (int i : {0, 1, 500, 1999}) {
        const double expected = ((i + 1) % 7 - 3) * 140 * uvPerUnit + (2 + 10) * uvPerUnit;
        QVERIFY2(
            std::abs(v[std::size_t(i)] - expected) <= uvPerUnit,
            qPrintable(
                u"sample %1: %2 µV, expected %3"_s.arg(i).arg(v[std::size_t(i)]).arg(expected)));
    }

    QStringList texts;
    QList<long long> onsets;
    for (int i = 0; i < hdr.annotations_in_file; ++i) {
        edf_annotation_struct a{};
        QCOMPARE(edf_get_annotation(hdr.handle, i, &a), 0);
        texts << QString::fromUtf8(a.annotation);
        onsets << a.onset / 10000000LL;
    }
    edfclose_file(hdr.handle);
    QCOMPARE(texts,
             (QStringList{u"Etapa 1 Basal"_s, u"PA 150/80"_s, u"FC 120"_s,
                          u"Tiempo del estudio 03:00"_s, u"Etapa 2 Ejercicio"_s, u"PA 150/80"_s,
                          u"FC 121"_s, u"Angor"_s, u"Manual"_s, u"Tiempo del estudio 06:00"_s}));
    QCOMPARE(onsets, (QList<long long>{0, 0, 0, 0, 10, 10, 10, 10, 10, 10}));
}

void TestEdfExport::failureLeavesNoFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"falta/estudio.edf"_s);
    QVERIFY_THROWS_EXCEPTION(FileError, exportEdf(path, study(1)));
    EdfExportInput empty = study(1);
    empty.records.clear();
    QVERIFY_THROWS_EXCEPTION(FileError, exportEdf(dir.filePath(u"vacio.edf"_s), empty));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TestEdfExport)
#include "tst_edfexport.moc"
