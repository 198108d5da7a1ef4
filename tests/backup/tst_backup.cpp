#include "Fixtures.h"
#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"
#include "backup/Backup.h"
#include "backup/TCopiarchfrm.h"
#include "cli/Cli.h"
#include "common/FileError.h"
#include "protocol/TAbrirProtDlg.h"
#include "protocol/TVerProtoFrm.h"
#include "records/TAbrirEstfrm.h"
#include "records/TAbrirPacfrm.h"
#include "records/TEstudioExistFrm.h"
#include "records/TPacfrm.h"
#include "report/TOKDatosDlg.h"

#include <QAction>
#include <QLabel>
#include <QRadioButton>

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

// Copy, move and restore of patients with their studies and reports: the command line, the
// backup window and the main window's backup commands, driven as a user would.
class TestBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_work.emplace();
        m_backup = QDir(m_backupRoot.emplace().path());
        m_files = threePatients(work());
    }
    void onlyPlainStudyNamesCountAndSizesPass2GB()
    {
        // Patients in a folder with a file beside it.
        QVERIFY(m_backup.mkdir(u"w"_s));
        const QDir w(m_backup.filePath(u"w"_s));
        writeFile(m_backup.filePath(u"fuera.est"_s), "x");
        writeFile(w.filePath(u"Zirod.ini"_s), QByteArray(107, '\0'));
        makePatient(w, 4, u"Vega"_s, {u"../fuera.est"_s, u"Zirod.ini"_s, u"0004_001.EST"_s},
                    {u"0004_001.EST"_s});
        QCOMPARE(patientFileSet(w, u"00000004.DAT"_s, false).files,
                 (QStringList{u"0004_001.EST"_s, u"00000004.DAT"_s}));
        QVERIFY(QFile(w.filePath(u"0004_001.EST"_s)).resize(3'000'000'000LL)); // sparse
        QCOMPARE(patientFilesSize(w, u"00000004.DAT"_s),
                 3'000'000'000LL + QFileInfo(w.filePath(u"00000004.DAT"_s)).size());

        // An unreadable header: the file alone for a copy, an error for a move.
        writeFile(w.filePath(u"00000005.DAT"_s), QByteArray(50, 'x'));
        QCOMPARE(patientFileSet(w, u"00000005.DAT"_s, false).files, QStringList{u"00000005.DAT"_s});
        QVERIFY_THROWS_EXCEPTION(FileError, patientFileSet(w, u"00000005.DAT"_s, true));
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
        const QMap<QString, QByteArray> before = contents(work());
        FullDisk disk(sizeOf(work(), m_files.mid(0, index)) + into, faulty);
        try {
            backupPatient(work(), m_backup, u"00000001.DAT"_s, BackupMode::Move, disk);
            QFAIL("a short copy was taken for a whole one");
        } catch (const FileError& e) {
            QVERIFY2(e.message().contains(failing) && e.message().contains(reason),
                     qPrintable(e.message()));
        }
        QCOMPARE(contents(work()), before);
        QStringList kept = m_files.mid(0, index) << failing;
        kept.sort();
        QCOMPARE(contents(m_backup).keys(), kept);
        QCOMPARE(readFile(m_backup.filePath(failing)), QByteArray("copia anterior"));
    }
    void commandLine()
    {
        const QString dir = m_backup.path();
        QVERIFY(QFile::remove(work().filePath(u"Puertos.txt"_s))); // patients' files only
        const QMap<QString, QByteArray> before = contents(work());
        // A patient that is not there fails; the others still go.
        QCOMPARE(cli({u"copy"_s, dir, u"00000001.DAT"_s, u"00000009.DAT"_s, u"00000003.DAT"_s}), 1);
        const QStringList lines = m_out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(u"00000001.DAT Peña, Ana: 2 estudios, "_s));
        QCOMPARE(lines[3], u"Copiados 2 pacientes de 3, con %1 bytes"_s.arg(
                               sizeOf(work(), m_files.mid(0, 4) << u"00000003.DAT"_s)));
        QCOMPARE(cli({u"move"_s, dir}), 0); // all patients when none is named
        QVERIFY(m_out.endsWith(
            u"Movidos 3 pacientes de 3, con %1 bytes\n"_s.arg(sizeOf(m_backup, m_files))));
        QCOMPARE(contents(m_backup), before); // Ruiz's missing study is no reason to stop
        QVERIFY(contents(work()).isEmpty());

        QCOMPARE(cli({u"restore"_s, dir, u"00000002.DAT"_s}), 0);
        writeFile(work().filePath(u"0002_001.est"_s), "cambiado");
        QCOMPARE(cli({u"restore"_s, dir, u"00000002.DAT"_s}), 1);
        QVERIFY(m_err.contains(u"ya existe en la carpeta de trabajo"_s));
        QCOMPARE(readFile(work().filePath(u"0002_001.est"_s)), QByteArray("cambiado"));
        QCOMPARE(cli({u"restore"_s, dir, u"00000002.DAT"_s, u"--replace"_s}), 0);
        QCOMPARE(readFile(work().filePath(u"0002_001.est"_s)),
                 readFile(m_backup.filePath(u"0002_001.est"_s)));

        // The working folder, here through a link, is never its own backup.
        const QString link = m_backupRoot->filePath(u"enlace"_s);
        QVERIFY(QFile::link(work().path(), link));
        QCOMPARE(cli({u"move"_s, link}), 2);
        QVERIFY(m_err.contains(u"La carpeta de la copia de seguridad es la carpeta de trabajo"_s));
        QVERIFY_THROWS_EXCEPTION(FileError, backupPatient(work(), QDir(link), u"00000002.DAT"_s,
                                                          BackupMode::Move, m_writer));
        QVERIFY(QFileInfo::exists(work().filePath(u"00000002.DAT"_s)));
        QCOMPARE(cli({u"copy"_s, dir, u"../00000001.DAT"_s}), 2);
        QCOMPARE(cli({u"copy"_s, m_backupRoot->filePath(u"no-existe"_s)}), 1);
        for (BackupMode mode : {BackupMode::Copy, BackupMode::Move})
            QVERIFY_THROWS_EXCEPTION(
                FileError, backupPatient(work(), m_backup, u"00000009.DAT"_s, mode, m_writer));
    }
    void listSummaryRefusalsCopyAndMove()
    {
        const QDir work(m_work->dir());
        // A first name whole, then the file ends inside the surname.
        writeFile(work.filePath(u"00000004.DAT"_s), encodeString(u"Juan"_s, 30) + "\x05Gom");
        QString backupDir = m_backup.filePath(u"no-existe"_s);
        m_dialogs->answers = {work.path(), m_backup.path()};
        TCopiarchfrm form(*m_messages, *m_dialogs);
        whileShown(form, [&] {
            const QString blanks(61, u' ');
            QCOMPARE(itemTexts(form.ListBox1),
                     (QStringList{u", Juan[Archivo Corrupto]   0"_s + blanks + u"@00000004.DAT"_s,
                                  u"Peña, Ana   2"_s + blanks + u"@00000001.DAT"_s,
                                  u"Ruiz, Ana   3"_s + blanks + u"@00000002.DAT"_s,
                                  u"Sosa, Ana   0"_s + blanks + u"@00000003.DAT"_s}));
            QCOMPARE(form.DirTxt->text(), m_backup.filePath(u"no-existe/"_s));
            startWith(form, {1, 2}); // does not fit where there is no disk
            QCOMPARE(form.SelecTxt->text(),
                     u"5 estudios en 2 pacientes seleccionados, con %1 bytes"_s.arg(
                         sizeOf(work, m_files.mid(0, 8))));
            click(form.ExamBtn); // the working folder itself
            startWith(form, {1, 2});
            click(form.ExamBtn);
            startWith(form, {1, 2, 3});
            QCOMPARE(form.CopiadosTxt->text(), u"Copiados 3 pacientes de 3 seleccionados"_s);
            QVERIFY(form.ListBox1->selectedItems().isEmpty());
            QCOMPARE(contents(m_backup).size(), m_files.size());

            click(form.MoverRb);
            startWith(form, {1, 3}); // Peña is open and stays; Sosa goes
            QCOMPARE(itemTexts(form.ListBox1).size(), 3);
        });
        form.ShowBackup(work, backupDir, u"00000001.DAT"_s);
        QCOMPARE(backupDir, m_backup.path() + u'/');
        QCOMPARE(m_messages->lines(),
                 (QStringList{u"warning: Espacio insuficiente en disco"_s,
                              u"warning: Espacio insuficiente en disco"_s,
                              u"warning: La carpeta de la copia de seguridad es la carpeta de "
                              u"trabajo. Elija otra carpeta."_s,
                              u"warning: Los archivos del paciente selecionado están en uso, debe "
                              u"cerrarlo para moverlos"_s}));
        QVERIFY(QFileInfo::exists(work.filePath(u"00000001.DAT"_s)));
        QVERIFY(!QFileInfo::exists(work.filePath(u"00000003.DAT"_s)));
    }
    void restoreAsksBeforeReplacingAPatient()
    {
        const QDir work(m_work->dir());
        TZuvudezidedFrm& window = ruizOnlyInTheBackup();
        auto restore = [&](QList<bool> answers) {
            m_messages->shown.clear();
            m_messages->answers = answers;
            m_dialogs->answers = {m_backup.path()};
            whenShown([&] {
                QCOMPARE(window.AbrirPacfrm->windowTitle(), u"Elegir paciente a recuperar"_s);
                window.AbrirPacfrm->ListPac->setCurrentRow(0);
                window.AbrirPacfrm->OKBtn->click();
            });
            window.Recuperarmnu->trigger();
        };
        const QString study = work.filePath(u"0002_003.est"_s);
        restore({}); // not there yet: restored without a question
        QVERIFY(m_messages->shown.isEmpty());
        QCOMPARE(readFile(study), readFile(m_backup.filePath(u"0002_003.est"_s)));
        writeFile(study, "estudio nuevo");
        restore({false});
        QCOMPARE(m_messages->lines(),
                 QStringList{u"confirm: El paciente Ruiz, Ana ya existe en la carpeta de trabajo. "
                             u"¿Reemplazar sus archivos con los de la copia?"_s});
        QCOMPARE(readFile(study), QByteArray("estudio nuevo"));
        restore({true});
        QCOMPARE(readFile(study), readFile(m_backup.filePath(u"0002_003.est"_s)));

        // Refused: no folder, the working folder, one that is not there, the open patient.
        m_messages->shown.clear();
        for (const QString& dir : {QString(), work.path(), m_backup.filePath(u"no-existe"_s)}) {
            m_dialogs->answers = {dir};
            window.Recuperarmnu->trigger();
        }
        whenShown([&] {
            window.AbrirPacfrm->ListPac->setCurrentRow(1); // Ruiz
            window.AbrirPacfrm->OKBtn->click();
        });
        window.Pacexismnu->trigger(); // opens the patient and arms a new study
        QVERIFY(window.session().newStudyPending);
        const QStringList refusals = m_messages->lines();
        restore({});
        QCOMPARE(refusals.size(), 2);
        QCOMPARE(refusals[0], u"warning: La carpeta de la copia de seguridad es la carpeta de "
                              u"trabajo. Elija otra carpeta."_s);
        QVERIFY2(refusals[1].startsWith(u"error: Error de "_s) &&
                     refusals[1].contains(u"no-existe"_s),
                 qPrintable(refusals[1]));
        QCOMPARE(m_messages->lines(),
                 QStringList{u"warning: Los archivos del paciente selecionado están en uso, debe "
                             u"cerrarlo para recuperarlo"_s});
        window.Cerrarpacmnu->trigger();

        // Cancelled choosers and dialogs change nothing, on disk or in the window.
        const QMap<QString, QByteArray> before = contents(work);
        const std::pair<QAction*, QDialog*> cancelled[] = {
            {window.PacExistentemnu, window.AbrirPacfrm.get()},
            {window.BorrarPacmnu, window.AbrirPacfrm.get()},
            {window.Pacientenuevomnu, window.Pacfrm.get()},
            {window.AbrirProtocolomnu, window.AbrirProtDlg.get()},
            {window.MostrarProtmnu, window.VerProtoFrm.get()},
            {window.Datosgenmnu, window.OKDatosDlg.get()}};
        int shown = 0;
        for (const auto& [action, dialog] : cancelled) {
            whenShown([dialog, &shown] {
                shown += dialog->isVisible();
                dialog->reject();
            });
            action->trigger();
        }
        QCOMPARE(shown, 6);
        QCOMPARE(contents(work), before);
        QVERIFY(!window.patientOpen() && !window.session().newStudyPending);
        QVERIFY(window.currentProtocol().name.isEmpty());

        // A study that cannot be put in place: the patient file stays as it was.
        QVERIFY(QFile::remove(work.filePath(u"0002_001.est"_s)) && work.mkdir(u"0002_001.est"_s));
        writeFile(work.filePath(u"00000002.DAT"_s), "anterior");
        restore({true});
        QCOMPARE(m_messages->lines().last(), u"warning: Error en acceso a archivo"_s);
        QCOMPARE(readFile(work.filePath(u"00000002.DAT"_s)), QByteArray("anterior"));
    }
    void backupStudyIsLookedAtNotTaken()
    {
        TZuvudezidedFrm& window = ruizOnlyInTheBackup();
        writeFile(m_backup.filePath(u"0002_001.est"_s),
                  encodeStudy(reviewProtocol(), reviewRecords(3)));
        // No folder, one that is not there, no study chosen, and a study that is missing.
        m_messages->shown.clear();
        for (const QString& dir : {QString(), m_backup.filePath(u"no-existe"_s)}) {
            m_dialogs->answers = {dir};
            window.AbrirCopiamnu->trigger();
        }
        QCOMPARE(openBackupStudy(window, -1), QString());
        QCOMPARE(openBackupStudy(window, 1),
                 u"Estudio de archivo: 0002_002.est, Ana  01/02/2026"_s);
        QCOMPARE(m_messages->lines().size(), 2);
        QVERIFY(m_messages->lines()[0].contains(u"no-existe"_s));
        QCOMPARE(m_messages->lines()[1],
                 u"error: Problemas para abrir el archivo de estudio.Posiblemente dañado"_s);

        m_messages->shown.clear();
        const QString caption = openBackupStudy(window, 0);
        QVERIFY2(caption.startsWith(u"Estudio de archivo: 0002_001.est, Ana"_s),
                 qPrintable(caption));
        QVERIFY2(m_messages->shown.isEmpty(), qPrintable(m_messages->lines().join(u'|')));
        // The current patient and study stay as they were, and nothing of the copy is printable.
        QVERIFY(window.patientFileName().isEmpty() && window.session().studyFileName.isEmpty());
        QVERIFY(!window.Imprimirmnu->isEnabled() && !window.VerInformemnu->isEnabled());
    }

private:
    QDir work() const { return QDir(m_work->dir()); }
    int cli(const QStringList& args)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out);
        QTextStream err(&m_err);
        return cli::run(QStringList{u"backup"_s} + args, out, err);
    }
    // Ruiz's files moved to the backup folder, and the main window.
    TZuvudezidedFrm& ruizOnlyInTheBackup()
    {
        for (const QString& f : m_files.mid(4, 4))
            QFile::rename(QDir(m_work->dir()).filePath(f), m_backup.filePath(f));
        Services services = fakeServices(m_messages);
        services.files = m_dialogs;
        m_window = std::make_unique<TZuvudezidedFrm>(services);
        return *m_window;
    }
    // Ruiz's study in this row of the backup (-1: none chosen); the review's caption.
    QString openBackupStudy(TZuvudezidedFrm& window, int row)
    {
        m_dialogs->answers = {m_backup.path()};
        QString caption;
        whenShown([&] {
            QCOMPARE(window.AbrirPacfrm->windowTitle(), u"Elegir paciente de Copia de Seguridad"_s);
            window.AbrirPacfrm->ListPac->setCurrentRow(0);
            window.AbrirPacfrm->OKBtn->click();
            QTimer::singleShot(0, &window, [&] {
                window.AbrirEstfrm->ListEst->setCurrentRow(row);
                if (row < 0) {
                    window.AbrirEstfrm->CancelBtn->click();
                    return;
                }
                window.AbrirEstfrm->OKBtn->click();
                QTimer::singleShot(0, &window, [&] {
                    QTRY_VERIFY(window.EstudioExistFrm->isVisible());
                    caption = window.EstudioExistFrm->windowTitle();
                    window.EstudioExistFrm->OkBut->click();
                });
            });
        });
        window.AbrirCopiamnu->trigger();
        return caption;
    }
    void startWith(TCopiarchfrm& form, const QList<int>& rows)
    {
        form.ListBox1->clearSelection();
        for (int r : rows)
            form.ListBox1->item(r)->setSelected(true);
        click(form.ComenzarBtn);
    }

    std::optional<WorkFolder> m_work;
    std::unique_ptr<TZuvudezidedFrm> m_window;
    std::optional<QTemporaryDir> m_backupRoot;
    QDir m_backup;
    QStringList m_files;
    std::shared_ptr<FakeMessages> m_messages = std::make_shared<FakeMessages>();
    std::shared_ptr<FakeFiles> m_dialogs = std::make_shared<FakeFiles>();
    CopyWriter m_writer;
    QString m_out;
    QString m_err;
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
