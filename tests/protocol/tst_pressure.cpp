#include "TestSupport.h"
#include "protocol/PressureEdit.h"
#include "protocol/TVirezAde.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QVBoxLayout>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

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
        new PressureEdit(u"SisPresEd"_s, u"SisPresUpDw"_s, u"Sistólica"_s, &window);
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
    void dialogReturnsTheValuesHoweverItCloses_data();
    void dialogReturnsTheValuesHoweverItCloses();
    void aLaterAskClosesTheEarlierOne();
};

void TestPressure::typedTextFollowsTheRule_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("250 is the last accepted") << u"250"_s << u"250"_s << 250;
    QTest::newRow("0 is accepted") << u"0"_s << u"0"_s << 0;
    QTest::newRow("251") << u"251"_s << QString() << 0;
    QTest::newRow("12a") << u"12a"_s << QString() << 0;
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
    QCOMPARE(h.field->upDown()->objectName(), u"SisPresUpDw"_s);
    h.field->setValue(249);
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), u"250"_s);
    QVERIFY(h.other->hasFocus());
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), QString());
    QCOMPARE(h.field->value(), 0);
    QVERIFY(h.field->edit()->hasFocus());
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), u"1"_s);
    QTest::keyClick(h.field->edit(), Qt::Key_Down);
    QTest::keyClick(h.field->edit(), Qt::Key_Down);
    QCOMPARE(h.field->edit()->text(), u"0"_s);

    typeOver(h.field, QString());
    QTest::mouseClick(h.field->downButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), u"0"_s);
    h.field->setValue(300);
    QCOMPARE(h.field->edit()->text(), QString());
    QCOMPARE(h.field->value(), 0);
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
    // No close box: the values come back however the dialog goes.
    QVERIFY(!(dlg.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)));
    QCOMPARE(dlg.DiastPresEd->edit()->accessibleName(), u"Diastólica"_s);
    QCOMPARE(dlg.findChildren<QPushButton*>(), QList<QPushButton*>{dlg.OKBtn}); // no Cancel
    int systolic = 120;
    int diastolic = 80;
    std::uint8_t angina = 1;
    Shown before;
    whileShown(dlg, [&] {
        before = shown(dlg);
        typeOver(dlg.SisPresEd, u"135"_s);
        typeOver(dlg.DiastPresEd, u"9x"_s);
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
    QCOMPARE(before.systolic, u"120"_s);
    QCOMPARE(before.diastolic, u"80"_s);
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
        typeOver(dlg.SisPresEd, u"110"_s);
        whileShown(dlg, [&] {
            second = shown(dlg);
            typeOver(dlg.DiastPresEd, u"90"_s);
            QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        });
        dlg.AskPressures(s2, d2, a2);
        secondReturned = true;
        reopened = dlg.isVisible();
    });
    dlg.AskPressures(s1, d1, a1);
    QVERIFY(secondReturned);
    QVERIFY(!reopened);
    QCOMPARE(second.systolic, u"150"_s);
    QCOMPARE(second.diastolic, u"95"_s);
    QVERIFY(second.angina);
    QCOMPARE((QList<int>{s1, d1, a1, s2, d2, a2}), (QList<int>{110, 70, 0, 150, 90, 1}));
}

QTEST_MAIN(TestPressure)
#include "tst_pressure.moc"
