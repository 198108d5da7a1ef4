#include "Fixtures.h"
#include "TestSupport.h"
#include "app/TZuvudezidedFrm.h"
#include "backup/TCopiarchfrm.h"
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

// The backup window and the main window's backup commands, driven as a user would.
class TestCopiarchfrm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_work.emplace();
        m_backup = QDir(m_backupRoot.emplace().path());
        m_files = threePatients(QDir(m_work->dir()));
    }
    void cleanup()
    {
        m_window.reset();
        m_work.reset();
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
        // The backup window lists what the working folder holds: Peña and Sosa.
        int listed = 0;
        whenShown([&] {
            listed = window.Copiarchfrm->ListBox1->count();
            window.Copiarchfrm->reject();
        });
        window.Copiarmnu->trigger();
        QCOMPARE(listed, 2);

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
};

QTEST_MAIN(TestCopiarchfrm)
#include "tst_copiarchfrm.moc"
