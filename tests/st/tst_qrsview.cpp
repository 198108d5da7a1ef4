#include "StBeats.h"
#include "st/StDrawing.h"
#include "st/TQRSview.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

using namespace esf;
using namespace esf::test;
using namespace Qt::StringLiterals;

namespace {

const QRgb kGreen = kStBaselineColor;
const QRgb kRed = kStJColor;
const QRgb kBlack = kStCurveColor;
const QRgb kWhite = kStPaperColor;
const QRgb kOff = qRgb(255, 0, 255); // left unpainted
const QRgb kBlue = qRgb(0, 0, 255);  // the yellow caliper XOR-ed onto white paper

struct Px {
    int x;
    int y;
    QRgb colour;
};

void expectPixels(const QImage& img, std::initializer_list<Px> pixels)
{
    for (const Px& p : pixels)
        QVERIFY2(
            img.pixel(p.x, p.y) == p.colour,
            qPrintable(u"(%1, %2) is #%3"_s.arg(p.x).arg(p.y).arg(img.pixel(p.x, p.y), 0, 16)));
}

// Opens the view and runs the steps while it is up; a failed step must not leave it waiting.
std::array<float, 3> showWith(TQRSview& view, const QrsBeats& avg, int fidIdx, int speed,
                              double gain, const std::function<void()>& steps)
{
    QTimer::singleShot(0, &view, [&view, &steps] {
        if (QTest::qWaitForWindowActive(&view))
            steps();
        else
            QTest::qFail("view never became active", __FILE__, __LINE__);
        if (view.isVisible())
            view.reject();
    });
    return view.ShowQRS(avg, fidIdx, speed, gain);
}

void clickTimes(QToolButton* b, int times)
{
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(b, Qt::LeftButton);
}

void retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

QStringList stBoxes(const TQRSview& v)
{
    return {v.STD2lbl->text(), v.STV2lbl->text(), v.STV5lbl->text()};
}

QColor boxColour(const QLabel* box)
{
    return box->palette().color(QPalette::Window);
}

} // namespace

class TestQrsView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowAndControls()
    {
        TQRSview view;
        QCOMPARE(view.windowTitle(), u" QRS promedio"_s);
        QCOMPARE(view.minimumSize(), view.maximumSize());
        QVERIFY(view.windowFlags() & Qt::WindowCloseButtonHint); // closing hands the values back
        QCOMPARE((QStringList{view.Label1->text(), view.mvlbl->text(), view.Label2->text(),
                              view.Label5->text(), view.Label3->text(), view.Label4->text()}),
                 (QStringList{u"T[seg]:"_s, u"Amp[mV]:"_s, u"Delta J-T[mS]"_s, u"D2 S-T[mV]"_s,
                              u"V2 S-T[mV]"_s, u"V5 S-T[mV]"_s}));
        QVERIFY(view.Okbtn->isDefault());
        QCOMPARE(view.JTtxt->text(), u"80"_s);
    }
    void drawing()
    {
        QrsBeats avg = constantBeats(0);
        avg[0][50] = 140; // 1 mV: 118 px up, at x = 5 + 73.75
        StMeasurement m;
        m.open(avg, 100, 25, 1.0);
        QImage img(696, 645, QImage::Format_RGB32);
        img.fill(kOff);
        QPainter p(&img);
        drawStView(p, m);
        p.end();

        // clang-format off
        // Outline on the last pixel of the area, nothing beyond; a grid dash; the 1 mV sample; the
        // detection point at 5 + round(147.5); D2's baseline 5 px above its zero level; the J line
        // at 5 + round(112 × 1.475); the ST circle on V2.
        expectPixels(img, {{599, 300, kGreen}, {600, 300, kOff}, {310, 200, kWhite}, {13, 59, kGreen},
                           {79, 35, kBlack}, {153, 153, kRed}, {250, 148, kGreen}, {171, 400, kRed},
                           {172, 400, kWhite}, {189, 300, kGreen}});
        // clang-format on
    }
    void resultHoweverClosed()
    {
        TQRSview untouchedView;
        const auto untouched = showWith(untouchedView, constantBeats(70), 100, 25, 2.0, [&] {
            QCOMPARE(stBoxes(untouchedView), QStringList(3, u"0.000"_s));
            QTest::mouseClick(untouchedView.Okbtn, Qt::LeftButton);
        });
        QCOMPARE(untouched, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));

        for (int how : {0, 1, 2}) { // Ok, Escape, closed by the desktop
            TQRSview view;
            const auto result = showWith(view, constantBeats(70), 100, 25, 2.0, [&] {
                QTest::mouseClick(view.UpDownD2->nextButton(), Qt::LeftButton);
                QCOMPARE(view.STD2lbl->text(), u"0.225"_s); // (59 − 5 − 1) / 59 × 0.5 / 2
                if (how == 0)
                    QTest::mouseClick(view.Okbtn, Qt::LeftButton);
                else if (how == 1)
                    QTest::keyClick(&view, Qt::Key_Escape);
                else
                    view.close();
                QVERIFY(!view.isVisible());
            });
            QCOMPARE(result,
                     (std::array<float, 3>{computeSt(70, 0, 1, 2.0), computeSt(70, 1, 0, 2.0),
                                           computeSt(70, 2, 0, 2.0)}));
        }
    }
    void stateKeptBetweenOpenings()
    {
        TQRSview view;
        QStringList first;
        const auto r1 = showWith(view, indexRamp(), 100, 25, 1.0, [&] {
            retype(view.JTtxt, u"90"_s);
            clickTimes(view.UpDownV5->prevButton(), 2);
            clickTimes(view.JIzDe->nextButton(), 3);
            first = stBoxes(view);
            view.close();
        });
        QCOMPARE(r1[2], computeSt(115 + 18, 2, -2, 1.0));

        const auto r2 = showWith(view, constantBeats(-500), 60, 50, 2.0, [&] {
            QCOMPARE(view.measurement().jIdx(), 72);
            QCOMPARE(view.JTtxt->text(), u"90"_s);
            QCOMPARE(stBoxes(view), first);
            // The new snapshot is drawn: J at 5 + round(72 × 2.95), V5's baseline 2 px low.
            expectPixels(view.surfaceImage(), {{217, 500, kRed}, {310, 446, kGreen}});
            view.close();
        });
        QCOMPARE(r2, r1);
    }
    void jtField()
    {
        TQRSview view;
        showWith(view, indexRamp(), 100, 25, 1.0, [&] {
            QLineEdit* jt = view.JTtxt;
            jt->setFocus();
            jt->selectAll();
            QTest::keyClick(jt, Qt::Key_Delete);
            QTest::keyClicks(jt, u"x"_s);
            QCOMPARE(view.measurement().stIdx(), 128);
            for (QWidget* w : QApplication::topLevelWidgets())
                QVERIFY(!(qobject_cast<QMessageBox*>(w) && w->isVisible()));
            view.Okbtn->setFocus(); // leaving the field gives it back the interval in force
            QCOMPARE(jt->text(), u"80"_s);

            retype(jt, u"150"_s);
            QCOMPARE(view.measurement().stIdx(), 142);
            QTest::mouseClick(view.UpDownJT->prevButton(), Qt::LeftButton); // from the range's end
            QCOMPARE(jt->text(), u"99"_s);
            clickTimes(view.UpDownJT->nextButton(), 3);
            QCOMPARE(jt->text(), u"100"_s);
            jt->clear();
        });
        QCOMPARE(view.JTtxt->text(), u"100"_s); // the interval in force when it closed
    }
    void calipers()
    {
        TQRSview view;
        showWith(view, constantBeats(0), 100, 50, 2.0, [&] {
            QWidget* s = view.surface();
            const QColor face = view.palette().color(QPalette::Button);
            const QImage& img = view.surfaceImage();

            QTest::mousePress(s, Qt::LeftButton, {}, QPoint(100, 300));
            QCOMPARE(boxColour(view.mvtxt), QColor(Qt::red));
            QTest::mouseMove(s, QPoint(150, 241));
            QTest::mouseMove(s, QPoint(200, 241));
            QCOMPARE(view.mvtxt->text(), u"0.250"_s);
            // The previous figure is erased; on the V2 curve the XOR shows yellow.
            expectPixels(img, {{150, 270, kWhite}, {200, 270, kBlue}, {90, 300, kStCaliperColor}});
            QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(200, 241));
            QCOMPARE(boxColour(view.mvtxt), face);

            QTest::mousePress(s, Qt::RightButton, {}, QPoint(100, 400));
            QTest::mouseMove(s, QPoint(159, 400));
            QCOMPARE(view.deltatxt->text(), u"0.100"_s);
            QTest::mouseRelease(s, Qt::RightButton, {}, QPoint(159, 400));

            const QPoint onJ = view.measurement().markers().jLine.center();
            QTest::mousePress(s, Qt::LeftButton, {}, onJ); // a marker, not the surface
            QCOMPARE(boxColour(view.mvtxt), face);
            QTest::mouseRelease(s, Qt::LeftButton, {}, onJ);

            QTest::mouseClick(view.UpDownD2->nextButton(), Qt::LeftButton);
            expectPixels(img, {{200, 270, kWhite}}); // redrawn
        });
        QCOMPARE(view.deltatxt->text(), u"0.100"_s); // kept for the next opening
    }
};

QTEST_MAIN(TestQrsView)
#include "tst_qrsview.moc"
