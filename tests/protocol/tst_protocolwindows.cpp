#include "Fixtures.h"
#include "TestSupport.h"
#include "protocol/PressureEdit.h"
#include "protocol/TAbrirProtDlg.h"
#include "protocol/TNProtoFrm.h"
#include "protocol/TVerProtoFrm.h"
#include "protocol/TVirezAde.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <QTableWidget>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

void clickTab(QTabBar* tabs, int index)
{
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

// Row r of the grid, or its header row for r = -1.
QStringList gridRow(const QTableWidget* grid, int r)
{
    QStringList out;
    for (int c = 0; c < grid->columnCount(); ++c) {
        const QTableWidgetItem* item = r < 0 ? grid->horizontalHeaderItem(c) : grid->item(r, c);
        out << (item ? item->text() : QString());
    }
    return out;
}

// Types over the whole field without giving it the focus.
void typeOver(PressureEdit* field, const QString& text)
{
    field->edit()->selectAll();
    QTest::keyClicks(field->edit(), text);
}

} // namespace

// The protocol editor, chooser and viewer, and the pressures dialog with its fields.
class TestProtocolWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_tmp = std::make_unique<QTemporaryDir>(); // a fresh folder for each test
        m_dir = QDir(m_tmp->path());
        m_messages = FakeMessages();
        m_messages.otherwise = false; // "Desea guardar el protocolo?" No, unless queued
    }
    void okWithNoReturnsTheEditedStagesAndWritesNothing()
    {
        TNProtoFrm editor(m_messages);
        ProtocolRecord record;
        whileShown(editor, [&] {
            typeInto(editor.NombreEd, u"rampa ñ de prueba larga"_s);
            typeInto(editor.CantEtapaEd->lineEdit(), u"20"_s);
            QCOMPARE(editor.SelEtapa->tabText(14), u"15º Etapa"_s);
            // The lone "-" on the way to -3 is not a number.
            typeInto(editor.CantEtapaEd->lineEdit(), u"-3"_s);
            QCOMPARE(editor.SelEtapa->count(), 0);
            typeInto(editor.CantEtapaEd->lineEdit(), u"3"_s);
            click(editor.DispEdCinta);
            typeInto(editor.PendEd, u"450"_s);
            clickTab(editor.SelEtapa, 2); // leaving for the tab caps before the stage is stored
            QCOMPARE(editor.editedRecord().stage(1).slope, 40.0f);
            QCOMPARE(editor.editedStage(), 3);
            clickTab(editor.SelEtapa, 0);
            editor.PendEd->setFocus();
            editor.PendEd->selectAll();
            QTest::keyClick(editor.PendEd, Qt::Key_Delete);
            click(editor.VelEd); // a blank value field takes the focus back
            QTRY_VERIFY(editor.PendEd->hasFocus());
            click(editor.OKBut); // and storing it is a conversion error
            typeInto(editor.PendEd, u"100"_s);
            typeInto(editor.VelEd, u"0027"_s);
            typeInto(editor.TiempoEd, u"0300"_s);
            editor.TipoEtapaEd->setCurrentIndex(StageType::Basal);
            clickTab(editor.SelEtapa, 1);
            clickTab(editor.SelEtapa, 0); // stage 1 comes back as stored
            QCOMPARE(
                (QStringList{editor.CargaEd->text(), editor.PendEd->text(), editor.VelEd->text(),
                             editor.TipoEtapaEd->currentText(), editor.TiempoEd->displayText()}),
                (QStringList{u"0000.0"_s, u"10.0"_s, u"002.7"_s, u"Basal"_s, u"03:00"_s}));
            click(editor.OKBut);
        });
        QVERIFY(editor.EditProtocol(record, m_dir));

        QCOMPARE(m_messages.lines(), (QStringList{u"error: '-' no es un valor entero válido"_s,
                                                  u"error: '  . ' no es un valor numérico válido"_s,
                                                  u"confirm: Desea guardar el protocolo?"_s}));
        QVERIFY(m_dir.isEmpty());
        QCOMPARE(record.name, u"RAMPA Ñ DE PRUEBA LA"_s);
        QCOMPARE(record.stage(1), (StageEntry{1, StageType::Basal, 180, 0.0f, 10.0f, 2.7f}));
    }
    void guardarWritesOrExplainsWhyNot()
    {
        TNProtoFrm editor(m_messages);
        ProtocolRecord record;
        const QString path = m_dir.filePath(u"SUBIDA.pro"_s);
        m_messages.answers = {true};
        whileShown(editor, [&] {
            typeInto(editor.NombreEd, u"   "_s); // blanks are no name
            click(editor.OKBut);
            typeInto(editor.NombreEd, u"A/B"_s);
            click(editor.GuardaBut);
            QCOMPARE(m_messages.lines(),
                     (QStringList{u"warning: Debe ingresar el nombre del protocolo"_s,
                                  u"warning: El nombre del protocolo no puede contener «/»"_s}));
            QVERIFY(m_dir.isEmpty() && editor.isVisible());

            typeInto(editor.NombreEd, u"SUBIDA"_s);
            typeInto(editor.CantEtapaEd->lineEdit(), u"1"_s);
            typeInto(editor.TiempoEd, u"0100"_s);
            click(editor.GuardaBut);
            QCOMPARE(loadProtocolFile(path).stage(1).duration, 60);
            typeInto(editor.TiempoEd, u"0200"_s);
            click(editor.OKBut); // Yes: the same file, overwritten
        });
        QVERIFY(editor.EditProtocol(record, m_dir));
        QCOMPARE(record.stage(1).duration, 120);
        QCOMPARE(loadProtocolFile(path), record);
        QCOMPARE(m_dir.entryList(QDir::Files), QStringList{u"SUBIDA.pro"_s});
        // Opened again, cleared; a folder that cannot take the file: the error is shown and the
        // editor stays open; cancelled, the record is as it was.
        m_messages.shown.clear();
        m_messages.answers = {true};
        const ProtocolRecord kept = record;
        whileShown(editor, [&] {
            QVERIFY(editor.NombreEd->text().isEmpty() && editor.SelEtapa->count() == 0);
            typeInto(editor.NombreEd, u"SUBIDA"_s);
            click(editor.OKBut);
            QVERIFY(m_messages.lines().value(1).startsWith(u"error: "_s));
            QVERIFY(m_messages.lines()[1].contains(u"SUBIDA.pro"_s) && editor.isVisible());
            click(editor.CancelBut);
        });
        QVERIFY(!editor.EditProtocol(record, QDir(m_dir.filePath(u"no-existe"_s))));
        QCOMPARE(record, kept);
    }
    void chooserListsByStoredNameDeletesAndRefusesCorruptFiles()
    {
        for (const QString& file : {u"rampa.pro"_s, u"OTRO.PRO"_s, u"notas.txt"_s})
            writeFile(m_dir.filePath(file),
                      encodeProtocol(makeProtocol(u"RAMPA Ñ"_s, Device::None, {})));
        writeFile(m_dir.filePath(u"corto.Pro"_s), QByteArray(100, 'x'));

        TVerProtoFrm viewer;
        TAbrirProtDlg chooser(m_messages, viewer);
        QString chosen = u"previo.pro"_s;
        QString viewerTitle;
        whileShown(chooser, [&] {
            QCOMPARE(chooser.ListBox1->count(), 3);
            const int corrupt =
                itemTexts(chooser.ListBox1).indexOf(u"[Archivo Corrupto] corto.Pro"_s);
            chooser.ListBox1->setCurrentRow(corrupt);
            click(chooser.VerBut);
            click(chooser.OKBut);
            QCOMPARE(m_messages.lines().filter(u"corto.Pro"_s).filter(u"error: "_s).size(), 2);
            QVERIFY(chooser.isVisible());

            // Both files hold the same name; the hidden list tells them apart.
            const int rampa = itemTexts(chooser.ListBox2).indexOf(u"rampa.pro"_s);
            QCOMPARE(chooser.ListBox1->item(rampa)->text(), u"RAMPA Ñ"_s);
            chooser.ListBox1->setCurrentRow(rampa);
            whileShown(viewer, [&] {
                viewerTitle = viewer.windowTitle();
                click(viewer.OKBut);
            });
            click(chooser.VerBut);
            click(chooser.OKBut);
        });
        QVERIFY(chooser.ChooseProtocol(m_dir, chosen, UnitTexts{}));
        QCOMPARE(chosen, u"rampa.pro"_s);
        QCOMPARE(viewerTitle, u"RAMPA Ñ"_s);

        // Borrar deletes at once; with nothing selected it, and OK, do nothing.
        m_messages.shown.clear();
        whileShown(chooser, [&] {
            chooser.ListBox1->setCurrentRow(itemTexts(chooser.ListBox2).indexOf(u"OTRO.PRO"_s));
            click(chooser.BorrarBut);
            QVERIFY(!m_dir.exists(u"OTRO.PRO"_s));
            QCOMPARE(chooser.ListBox1->count(), 2);
            click(chooser.BorrarBut);
            click(chooser.OKBut);
        });
        QVERIFY(!chooser.ChooseProtocol(m_dir, chosen, UnitTexts{}));
        QVERIFY(chosen.isEmpty());
        QVERIFY(m_dir.exists(u"rampa.pro"_s));
        QVERIFY(m_messages.shown.isEmpty());
    }
    void viewerColumnsFollowTheDevice_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("stageCount");
        QTest::addColumn<QStringList>("header"); // between "Etapa" and "Tipo"
        QTest::addColumn<QStringList>("lastRow");
        QTest::newRow("treadmill") << 0 << 2 << u"Velocidad [Km/h]|Pendiente [%]"_s.split(u'|')
                                   << u"2|12.5|0.5|01:15|"_s.split(u'|');
        QTest::newRow("bicycle") << 1 << 2 << QStringList{u"Carga [Wats]"_s}
                                 << u"2|1250.0|01:15|"_s.split(u'|');
        QTest::newRow("no device, damaged count")
            << -1 << 200 << QStringList() << u"15|00:00|Ejercicio"_s.split(u'|');
    }
    void viewerColumnsFollowTheDevice()
    {
        QFETCH(int, device);
        QFETCH(int, stageCount);
        QFETCH(QStringList, header);
        QFETCH(QStringList, lastRow);

        // Shown first, so a grid reused without clearing would show through.
        ProtocolRecord other = ProtocolRecord::cleared();
        other.device = device == Device::Cinta ? Device::Bicicleta : Device::Cinta;
        other.stageCount = 15;
        ProtocolRecord p = makeProtocol(u"VISTA"_s, device,
                                        {{1, StageType::Basal, 180, 25.0f, 10.0f, 2.7f},
                                         {2, StageType::None, 75, 1250.0f, 0.5f, 12.5f}});
        p.stageCount = static_cast<std::uint8_t>(stageCount);
        p.stages[14].type = StageType::Ejercicio;

        TVerProtoFrm viewer;
        whileShown(viewer, [&] { click(viewer.OKBut); });
        viewer.ShowProtocol(other, UnitTexts{});
        whileShown(viewer, [&] {
            QCOMPARE(viewer.windowTitle(), u"VISTA"_s);
            QCOMPARE(gridRow(viewer.ProtoGrid, -1), (QStringList{u"Etapa"_s} + header +
                                                     QStringList{u"Tiempo [m:s]"_s, u"Tipo"_s}));
            QCOMPARE(viewer.ProtoGrid->rowCount(), std::min(stageCount, kMaxStages));
            QCOMPARE(gridRow(viewer.ProtoGrid, viewer.ProtoGrid->rowCount() - 1), lastRow);
            QCOMPARE(gridRow(viewer.ProtoGrid, 0).last(), u"Basal"_s);
            click(viewer.OKBut);
        });
        viewer.ShowProtocol(p, UnitTexts{u"[Wats]"_s, {}, u"[Km/h]"_s, {}, u"[%]"_s});
    }

    void pressuresKeepToTheRuleHoweverClosed()
    {
        // The systolic field, while the diastolic one can take the focus from it.
        TVirezAde dlg;
        PressureEdit* field = dlg.SisPresEd;
        QLineEdit* other = dlg.DiastPresEd->edit();
        whileShown(dlg, [&] {
            // Typed, then what stays; a refusal empties the field and takes the focus.
            const std::pair<QString, QString> cases[] = {
                {u"250"_s, u"250"_s}, {u"0"_s, u"0"_s}, {u"251"_s, {}}, {u"12a"_s, {}}};
            for (const auto& [typed, text] : cases) {
                other->setFocus();
                typeOver(field, typed);
                QCOMPARE(field->edit()->text(), text);
                QCOMPARE(field->value(), text.toInt());
                QCOMPARE(field->edit()->hasFocus(), text.isEmpty());
            }
            QTest::mouseClick(field->upButton(), Qt::LeftButton); // from empty, on from zero
            QCOMPARE(field->edit()->text(), u"1"_s);
            QTest::keyClick(field->edit(), Qt::Key_Down);
            QTest::keyClick(field->edit(), Qt::Key_Down);
            QCOMPARE(field->edit()->text(), u"0"_s);
            field->setValue(300); // refused like a typed entry
            QCOMPARE(field->edit()->text(), QString());
            typeOver(dlg.DiastPresEd, u"9x"_s);
            QTest::keyClick(&dlg, Qt::Key_Escape); // no Cancel: the values still come back
        });
        int systolic = 120, diastolic = 80;
        std::uint8_t angina = 1;
        dlg.AskPressures(systolic, diastolic, angina);
        QCOMPARE((QList<int>{systolic, diastolic, angina}), (QList<int>{0, 0, 1}));
    }

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QDir m_dir;
    FakeMessages m_messages;
};

QTEST_MAIN(TestProtocolWindows)
#include "tst_protocolwindows.moc"
