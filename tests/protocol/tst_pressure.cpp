#include "protocol/PressureEdit.h"
#include "protocol/TVirezAde.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

using namespace esf;

namespace {

// Runs the steps once the dialog is up; a failed step must not leave it waiting.
void whileShown(QDialog& dialog, std::function<void()> steps)
{
    QTimer::singleShot(0, &dialog, [&dialog, steps] {
        if (QTest::qWaitForWindowActive(&dialog))
            steps();
        else
            QTest::qFail("dialog never became active", __FILE__, __LINE__);
        if (dialog.isVisible())
            dialog.reject();
    });
}

// Types over the whole field, or empties it with Delete when text is empty.
void typeOver(PressureEdit* field, const QString& text)
{
    field->edit()->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field->edit(), Qt::Key_Delete);
    else
        QTest::keyClicks(field->edit(), text);
}

// A pressure field beside another field that holds the focus.
struct Host {
    QWidget window;
    QLineEdit* other = new QLineEdit(&window);
    PressureEdit* field =
        new PressureEdit(QStringLiteral("SisPresEd"), QStringLiteral("SisPresUpDw"),
                         QStringLiteral("Sistólica"), &window);
    Host()
    {
        auto* l = new QVBoxLayout(&window);
        l->addWidget(other);
        l->addWidget(field);
        window.show();
        window.activateWindow();
        other->setFocus();
    }
};

struct Shown {
    QString systolic, diastolic;
    bool angina = false;
};

Shown shown(const TVirezAde& dlg)
{
    return {dlg.SisPresEd->edit()->text(), dlg.DiastPresEd->edit()->text(),
            dlg.AngorChk->isChecked()};
}

} // namespace

class TestPressure : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typedTextFollowsTheRule_data();
    void typedTextFollowsTheRule();
    void stepsPastTheLimitEmptyAndRestartFromZero();
    void dialogIsFoundByItsCaptions();
    void dialogReturnsTheValuesHoweverItCloses_data();
    void dialogReturnsTheValuesHoweverItCloses();
    void aLaterAskClosesTheEarlierOne();
};

void TestPressure::typedTextFollowsTheRule_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("120") << QStringLiteral("120") << QStringLiteral("120") << 120;
    QTest::newRow("250 is the last accepted")
        << QStringLiteral("250") << QStringLiteral("250") << 250;
    QTest::newRow("0 is accepted") << QStringLiteral("0") << QStringLiteral("0") << 0;
    QTest::newRow("251") << QStringLiteral("251") << QString() << 0;
    QTest::newRow("12a") << QStringLiteral("12a") << QString() << 0;
    QTest::newRow("emptied by hand") << QString() << QString() << 0;
}

void TestPressure::typedTextFollowsTheRule()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(int, value);
    Host h;
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    h.field->setValue(77);
    QSignalSpy changes(h.field, &PressureEdit::valueChanged);
    typeOver(h.field, typed);
    QCOMPARE(h.field->edit()->text(), text);
    QCOMPARE(h.field->value(), value);
    QCOMPARE(changes.last().first().toInt(), value);
    // Only a refusal moves the focus; an accepted 0 leaves it where it was.
    QCOMPARE(h.field->edit()->hasFocus(), text.isEmpty());
}

void TestPressure::stepsPastTheLimitEmptyAndRestartFromZero()
{
    Host h;
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QCOMPARE(h.field->upDown()->objectName(), QStringLiteral("SisPresUpDw"));
    h.field->setValue(249);
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), QStringLiteral("250"));
    QVERIFY(h.other->hasFocus());
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), QString());
    QCOMPARE(h.field->value(), 0);
    QVERIFY(h.field->edit()->hasFocus());
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), QStringLiteral("1"));
    QTest::keyClick(h.field->edit(), Qt::Key_Down);
    QTest::keyClick(h.field->edit(), Qt::Key_Down);
    QCOMPARE(h.field->edit()->text(), QStringLiteral("0"));

    typeOver(h.field, QString());
    QTest::mouseClick(h.field->downButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), QStringLiteral("0"));
    h.field->setValue(300);
    QCOMPARE(h.field->edit()->text(), QString());
    QCOMPARE(h.field->value(), 0);
}

void TestPressure::dialogIsFoundByItsCaptions()
{
    TVirezAde dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Presiones"));
    QVERIFY(!(dlg.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint |
                                   Qt::WindowSystemMenuHint)));
    QCOMPARE(dlg.VerifiqueLbl->text(), QStringLiteral("Verifique los valores de presión"));
    QHash<QWidget*, QString> captions;
    for (QLabel* l : dlg.findChildren<QLabel*>())
        captions.insert(l->buddy(), l->text());
    QCOMPARE(captions.value(dlg.findChild<QLineEdit*>(QStringLiteral("SisPresEd"))),
             QStringLiteral("Sistólica"));
    QCOMPARE(captions.value(dlg.findChild<QLineEdit*>(QStringLiteral("DiastPresEd"))),
             QStringLiteral("Diastólica"));
    QCOMPARE(dlg.DiastPresEd->edit()->accessibleName(), QStringLiteral("Diastólica"));
    QCOMPARE(dlg.AngorChk->text(), QStringLiteral("Presenta angor?"));
    const QList<QPushButton*> buttons = dlg.findChildren<QPushButton*>();
    QCOMPARE(buttons, QList<QPushButton*>{dlg.OKBtn});
    QCOMPARE(dlg.OKBtn->text(), QStringLiteral("OK"));
}

void TestPressure::dialogReturnsTheValuesHoweverItCloses_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("OK") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("closed from the desktop") << 2;
}

void TestPressure::dialogReturnsTheValuesHoweverItCloses()
{
    QFETCH(int, how);
    TVirezAde dlg;
    int systolic = 120;
    int diastolic = 80;
    std::uint8_t angina = 1;
    Shown before;
    whileShown(dlg, [&] {
        before = shown(dlg);
        typeOver(dlg.SisPresEd, QStringLiteral("135"));
        typeOver(dlg.DiastPresEd, QStringLiteral("9x"));
        QTest::mouseClick(dlg.AngorChk, Qt::LeftButton);
        if (how == 0)
            QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        QVERIFY(!dlg.isVisible());
    });
    dlg.AskPressures(systolic, diastolic, angina);
    QCOMPARE(before.systolic, QStringLiteral("120"));
    QCOMPARE(before.diastolic, QStringLiteral("80"));
    QVERIFY(before.angina);
    QCOMPARE(systolic, 135);
    QCOMPARE(diastolic, 0);
    QCOMPARE(angina, std::uint8_t(0));

    // A value the fields would refuse comes back as 0, like a refused entry.
    systolic = 260;
    whileShown(dlg, [&] { before = shown(dlg); });
    dlg.AskPressures(systolic, diastolic, angina);
    QCOMPARE(before.systolic, QString());
    QCOMPARE(systolic, 0);
}

// A stage ending while the previous stage's dialog is open: one dialog, both calls return.
void TestPressure::aLaterAskClosesTheEarlierOne()
{
    TVirezAde dlg;
    int s1 = 100, d1 = 70, s2 = 150, d2 = 95;
    std::uint8_t a1 = 0, a2 = 1;
    Shown second;
    bool secondReturned = false;
    bool reopened = true;
    whileShown(dlg, [&] {
        typeOver(dlg.SisPresEd, QStringLiteral("110"));
        whileShown(dlg, [&] {
            second = shown(dlg);
            typeOver(dlg.DiastPresEd, QStringLiteral("90"));
            QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        });
        dlg.AskPressures(s2, d2, a2);
        secondReturned = true;
        reopened = dlg.isVisible();
    });
    dlg.AskPressures(s1, d1, a1);
    QVERIFY(secondReturned);
    QVERIFY(!reopened);
    QCOMPARE(second.systolic, QStringLiteral("150"));
    QCOMPARE(second.diastolic, QStringLiteral("95"));
    QVERIFY(second.angina);
    QCOMPARE((QList<int>{s1, d1, a1, s2, d2, a2}), (QList<int>{110, 70, 0, 150, 90, 1}));
}

QTEST_MAIN(TestPressure)
#include "tst_pressure.moc"
