#include "Fixtures.h"
#include "backup/Backup.h"
#include "cli/Cli.h"
#include "common/FileError.h"

#include <optional>

using namespace esf;
using namespace esf::test;

namespace {

// A disk with room for so many bytes: the write that crosses it is taken short, or, on a
// faulty disk, stored with a wrong byte while reported whole.
class FullDisk final : public CopyWriter {
public:
    FullDisk(qint64 room, bool faulty) : m_room(room), m_faulty(faulty) {}
    qint64 write(QFile& file, const char* data, qint64 size) override
    {
        if (m_faulty && size > m_room) {
            QByteArray bytes(data, size);
            bytes[m_room] = static_cast<char>(~bytes[m_room]);
            m_room = size;
            return file.write(bytes);
        }
        const qint64 n = std::min(size, m_room);
        m_room -= n;
        return n > 0 ? file.write(data, n) : 0;
    }

private:
    qint64 m_room;
    bool m_faulty;
};

} // namespace

// Copy, move and restore of patients with their studies and reports, and the command line.
class TestBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_root.emplace();
        QDir(m_root->path()).mkpath(u"trabajo"_s);
        QDir(m_root->path()).mkpath(u"copia"_s);
        m_work = QDir(m_root->filePath(u"trabajo"_s));
        m_backup = QDir(m_root->filePath(u"copia"_s));
        m_files = threePatients(m_work);
    }
    void onlyPlainStudyNamesCountAndSizesPass2GB()
    {
        writeFile(m_root->filePath(u"fuera.est"_s), "x");
        writeFile(m_work.filePath(u"Zirod.ini"_s), QByteArray(107, '\0'));
        makePatient(m_work, 4, u"Vega"_s, {u"../fuera.est"_s, u"Zirod.ini"_s, u"0004_001.EST"_s},
                    {u"0004_001.EST"_s});
        QCOMPARE(patientFileSet(m_work, u"00000004.DAT"_s, false).files,
                 (QStringList{u"0004_001.EST"_s, u"00000004.DAT"_s}));
        QVERIFY(QFile(m_work.filePath(u"0004_001.EST"_s)).resize(3'000'000'000LL)); // sparse
        QCOMPARE(patientFilesSize(m_work, u"00000004.DAT"_s),
                 3'000'000'000LL + QFileInfo(m_work.filePath(u"00000004.DAT"_s)).size());

        // An unreadable header: the file alone for a copy, an error for a move.
        writeFile(m_work.filePath(u"00000005.DAT"_s), QByteArray(50, 'x'));
        QCOMPARE(patientFileSet(m_work, u"00000005.DAT"_s, false).files,
                 QStringList{u"00000005.DAT"_s});
        QVERIFY_THROWS_EXCEPTION(FileError, patientFileSet(m_work, u"00000005.DAT"_s, true));
    }
    void fullDiskDeletesNothingAndLeavesNoPartialFile_data()
    {
        // The disk fills this far into Peña's file number index, in the order they go.
        QTest::addColumn<int>("index");
        QTest::addColumn<qint64>("into");
        QTest::addColumn<bool>("faulty");
        QTest::addColumn<QString>("reason");
        QTest::newRow("first study") << 0 << qint64(5000) << false << u"disco"_s;
        QTest::newRow("second study") << 2 << qint64(0) << false << u"disco"_s;
        QTest::newRow("patient file") << 3 << qint64(100) << false << u"disco"_s;
        QTest::newRow("faulty disk") << 1 << qint64(100) << true << u"no coincide"_s;
    }
    void fullDiskDeletesNothingAndLeavesNoPartialFile()
    {
        QFETCH(int, index);
        QFETCH(qint64, into);
        QFETCH(bool, faulty);
        QFETCH(QString, reason);
        const QString failing = m_files[index];
        writeFile(m_backup.filePath(failing), "copia anterior"); // must survive whole
        const QMap<QString, QByteArray> before = contents(m_work);
        FullDisk disk(sizeOf(m_work, m_files.mid(0, index)) + into, faulty);
        try {
            backupPatient(m_work, m_backup, u"00000001.DAT"_s, BackupMode::Move, disk);
            QFAIL("a short copy was taken for a whole one");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(failing) && e.message().contains(reason),
                     qPrintable(e.message()));
        }
        QCOMPARE(contents(m_work), before);
        QStringList kept = m_files.mid(0, index) << failing;
        kept.sort();
        QCOMPARE(contents(m_backup).keys(), kept);
        QCOMPARE(readFile(m_backup.filePath(failing)), QByteArray("copia anterior"));
    }
    void commandLine()
    {
        const QString dir = m_backup.path();
        const QMap<QString, QByteArray> before = contents(m_work);
        // A patient that is not there fails; the others still go.
        QCOMPARE(cli({u"copy"_s, dir, u"00000001.DAT"_s, u"00000009.DAT"_s, u"00000003.DAT"_s}), 1);
        const QStringList lines = m_out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(u"00000001.DAT Peña, Ana: 2 estudios, "_s));
        QCOMPARE(lines[3], u"Copiados 2 pacientes de 3, con %1 bytes"_s.arg(
                               sizeOf(m_work, m_files.mid(0, 4) << u"00000003.DAT"_s)));
        QCOMPARE(cli({u"move"_s, dir}), 0); // all patients when none is named
        QVERIFY(m_out.endsWith(
            u"Movidos 3 pacientes de 3, con %1 bytes\n"_s.arg(sizeOf(m_backup, m_files))));
        QCOMPARE(contents(m_backup), before); // Ruiz's missing study is no reason to stop
        QVERIFY(contents(m_work).isEmpty());

        QCOMPARE(cli({u"restore"_s, dir, u"00000002.DAT"_s}), 0);
        writeFile(m_work.filePath(u"0002_001.est"_s), "cambiado");
        QCOMPARE(cli({u"restore"_s, dir, u"00000002.DAT"_s}), 1);
        QVERIFY(m_err.contains(u"ya existe en la carpeta de trabajo"_s));
        QCOMPARE(readFile(m_work.filePath(u"0002_001.est"_s)), QByteArray("cambiado"));
        QCOMPARE(cli({u"restore"_s, dir, u"00000002.DAT"_s, u"--replace"_s}), 0);
        QCOMPARE(readFile(m_work.filePath(u"0002_001.est"_s)),
                 readFile(m_backup.filePath(u"0002_001.est"_s)));

        // The working folder, here through a link, is never its own backup.
        const QString link = m_root->filePath(u"enlace"_s);
        QVERIFY(QFile::link(m_work.path(), link));
        QCOMPARE(cli({u"move"_s, link}), 2);
        QVERIFY(m_err.contains(u"La carpeta de la copia de seguridad es la carpeta de trabajo"_s));
        QVERIFY_THROWS_EXCEPTION(FileError, backupPatient(m_work, QDir(link), u"00000002.DAT"_s,
                                                          BackupMode::Move, m_writer));
        QVERIFY(QFileInfo::exists(m_work.filePath(u"00000002.DAT"_s)));
        QCOMPARE(cli({u"copy"_s, dir, u"../00000001.DAT"_s}), 2);
        QCOMPARE(cli({u"copy"_s, m_root->filePath(u"no-existe"_s)}), 1);

        // A patient that is not there, and a backup folder that is not there, copy nothing.
        for (BackupMode mode : {BackupMode::Copy, BackupMode::Move})
            QVERIFY_THROWS_EXCEPTION(
                FileError, backupPatient(m_work, m_backup, u"00000009.DAT"_s, mode, m_writer));
        QVERIFY_THROWS_EXCEPTION(FileError,
                                 backupPatient(m_work, QDir(m_root->filePath(u"no-existe"_s)),
                                               u"00000002.DAT"_s, BackupMode::Move, m_writer));
        QVERIFY(QFileInfo::exists(m_work.filePath(u"00000002.DAT"_s)));
    }

private:
    int cli(const QStringList& args)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out);
        QTextStream err(&m_err);
        const QString old = QDir::currentPath();
        QDir::setCurrent(m_work.path());
        const int rc = cli::run(QStringList{u"backup"_s} + args, out, err);
        QDir::setCurrent(old);
        return rc;
    }

    std::optional<QTemporaryDir> m_root;
    QDir m_work;
    QDir m_backup;
    QStringList m_files;
    CopyWriter m_writer;
    QString m_out;
    QString m_err;
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
