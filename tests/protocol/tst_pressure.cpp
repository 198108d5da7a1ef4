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
    void typedTextAndStepsFollowTheRule();
    void dialogReturnsTheValuesHoweverItCloses();
    void aLaterAskClosesTheEarlierOne();
};

void TestPressure::typedTextAndStepsFollowTheRule()
{
    Host h;
    QVERIFY(QTest::qWaitForWindowActive(&h.window));
    QSignalSpy changes(h.field, &PressureEdit::valueChanged);
    // Typed, then what stays; a refusal empties the field and takes the focus.
    const std::pair<QString, QString> cases[] = {
        {u"250"_s, u"250"_s}, {u"0"_s, u"0"_s}, {u"251"_s, {}}, {u"12a"_s, {}}, {{}, {}}};
    for (const auto& [typed, text] : cases) {
        h.field->setValue(77);
        h.other->setFocus();
        typeOver(h.field, typed);
        QCOMPARE(h.field->edit()->text(), text);
        QCOMPARE(h.field->value(), text.toInt());
        QCOMPARE(changes.last().first().toInt(), text.toInt());
        QCOMPARE(h.field->edit()->hasFocus(), text.isEmpty());
    }

    h.other->setFocus();
    h.field->setValue(249);
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton);
    QCOMPARE(h.field->edit()->text(), u"250"_s);
    QVERIFY(h.other->hasFocus());
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton); // past the limit: refused
    QCOMPARE(h.field->edit()->text(), QString());
    QVERIFY(h.field->edit()->hasFocus());
    QTest::mouseClick(h.field->upButton(), Qt::LeftButton); // and from empty, on from zero
    QCOMPARE(h.field->edit()->text(), u"1"_s);
    QTest::keyClick(h.field->edit(), Qt::Key_Down);
    QTest::keyClick(h.field->edit(), Qt::Key_Down);
    QCOMPARE(h.field->edit()->text(), u"0"_s);
    h.field->setValue(300);
    QCOMPARE(h.field->edit()->text(), QString());
}

void TestPressure::dialogReturnsTheValuesHoweverItCloses()
{
    TVirezAde dlg;
    // No close box and no Cancel: the values come back however the dialog goes.
    QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
    int systolic = 0, diastolic = 0;
    std::uint8_t angina = 0;
    Shown before;
    for (int how : {0, 1, 2}) { // OK, Escape, closed from the desktop
        std::tie(systolic, diastolic, angina) = std::tuple(120, 80, std::uint8_t(1));
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
        QCOMPARE((QList<int>{systolic, diastolic, angina}), (QList<int>{135, 0, 0}));
    }

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
    QVERIFY(secondReturned && !reopened);
    QCOMPARE(second.diastolic, u"95"_s);
    QVERIFY(second.angina);
    QCOMPARE((QList<int>{s1, d1, a1, s2, d2, a2}), (QList<int>{110, 70, 0, 150, 90, 1}));
}

QTEST_MAIN(TestPressure)
#include "tst_pressure.moc"
