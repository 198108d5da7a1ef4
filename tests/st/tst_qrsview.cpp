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
    void windowAndControls();
    void drawing();
    void resultHoweverClosed_data();
    void resultHoweverClosed();
    void stateKeptBetweenOpenings();
    void jArrowsStopAtTheEnds();
    void jtField();
    void calipers_data();
    void calipers();
};

void TestQrsView::windowAndControls()
{
    TQRSview view;
    QCOMPARE(view.windowTitle(), u" QRS promedio"_s);
    QCOMPARE(view.minimumSize(), QSize(696, 645));
    QCOMPARE(view.maximumSize(), QSize(696, 645));
    const Qt::WindowFlags flags = view.windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint) && flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint)));
    QCOMPARE((QStringList{view.Label1->text(), view.mvlbl->text(), view.Label2->text(),
                          view.Label5->text(), view.Label3->text(), view.Label4->text()}),
             (QStringList{u"T[seg]:"_s, u"Amp[mV]:"_s, u"Delta J-T[mS]"_s, u"D2 S-T[mV]"_s,
                          u"V2 S-T[mV]"_s, u"V5 S-T[mV]"_s}));
    QCOMPARE(view.Label2->buddy(), view.JTtxt);
    QCOMPARE(view.STV2lbl->accessibleName(), u"V2 S-T[mV]"_s);
    QVERIFY(view.Okbtn->isDefault() && view.Okbtn->text() == u"Ok"_s);
    QCOMPARE(view.JTtxt->text(), u"80"_s);
    QCOMPARE(view.JTtxt->maxLength(), 3);
    QCOMPARE(view.JIzDe->geometry().topRight(), QPoint(599, 610));
}

void TestQrsView::drawing()
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
    // Outline on the last pixels of the area, nothing beyond; plain paper inside.
    expectPixels(img, {{5, 5, kGreen}, {599, 300, kGreen}, {300, 599, kGreen}, {600, 300, kOff},
                       {4, 250, kOff}, {300, 600, kOff}, {310, 200, kWhite}});
    // Dashes 3 px in 8 on rows 59k from the window top, dots every 11 px, dotted lines at
    // 5 + 59k.
    expectPixels(img, {{13, 59, kGreen}, {12, 59, kWhite}, {597, 590, kGreen}, {22, 22, kGreen},
                       {23, 22, kWhite}, {64, 30, kGreen}, {64, 31, kWhite}, {595, 30, kGreen}});
    // Curves 3 px wide on their zero levels, the 1 mV sample, the detection point at
    // 5 + round(147.5), the baseline 5 px above D2's zero level.
    expectPixels(img, {{250, 153, kBlack}, {250, 301, kBlack}, {250, 449, kBlack},
                       {250, 156, kWhite}, {79, 35, kBlack}, {153, 153, kRed}, {250, 148, kGreen},
                       {250, 147, kWhite}});
    // J line 2 px wide at 5 + round(112 × 1.475); hollow circles on V2 at J (165, 296) and
    // at ST (189, 296).
    expectPixels(img, {{170, 400, kRed}, {171, 400, kRed}, {169, 400, kWhite}, {172, 400, kWhite},
                       {165, 300, kRed}, {189, 300, kGreen}, {198, 300, kGreen}, {193, 300, kBlack},
                       {193, 299, kWhite}});
    // clang-format on
}

void TestQrsView::resultHoweverClosed_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("Ok") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("closed by the desktop") << 2;
}

void TestQrsView::resultHoweverClosed()
{
    QFETCH(int, how);
    TQRSview view;
    const auto untouched = showWith(view, constantBeats(70), 100, 25, 2.0, [&] {
        QCOMPARE(stBoxes(view), QStringList(3, u"0.000"_s));
        QTest::mouseClick(view.Okbtn, Qt::LeftButton);
    });
    QCOMPARE(untouched, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));

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
    QCOMPARE(result, (std::array<float, 3>{computeSt(70, 0, 1, 2.0), computeSt(70, 1, 0, 2.0),
                                           computeSt(70, 2, 0, 2.0)}));
}

void TestQrsView::stateKeptBetweenOpenings()
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

void TestQrsView::jArrowsStopAtTheEnds()
{
    TQRSview view;
    showWith(view, indexRamp(), 100, 25, 1.0, [&] {
        clickTimes(view.JIzDe->nextButton(), 100);
        QCOMPARE(view.measurement().jIdx(), 200);
        QCOMPARE(view.measurement().stIdx(), 200);
        QCOMPARE(view.STD2lbl->text(), formatStValue(computeSt(200, 0, 0, 1.0)));
        expectPixels(view.surfaceImage(), {{300, 501, kRed}, {301, 500, kRed}, {302, 500, kWhite}});

        clickTimes(view.JIzDe->prevButton(), 250);
        QCOMPARE(view.measurement().jIdx(), 0);
        QCOMPARE(view.measurement().stIdx(), 16);
        // The old J line is gone and the dotted division line is back.
        expectPixels(view.surfaceImage(), {{6, 500, kRed}, {300, 501, kGreen}, {301, 500, kWhite}});
    });
}

void TestQrsView::jtField()
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

        retype(jt, u"83"_s);
        QCOMPARE(view.measurement().stIdx(), 129);
        QTest::mouseClick(view.UpDownJT->nextButton(), Qt::LeftButton);
        QCOMPARE(jt->text(), u"84"_s);
        retype(jt, u"150"_s);
        QCOMPARE(view.measurement().stIdx(), 142);
        QTest::mouseClick(view.UpDownJT->prevButton(), Qt::LeftButton); // from the range's end
        QCOMPARE(jt->text(), u"99"_s);
        clickTimes(view.UpDownJT->nextButton(), 3);
        QCOMPARE(jt->text(), u"100"_s);
        QTest::keyClick(jt, Qt::Key_Down);
        QCOMPARE(jt->text(), u"99"_s);
        jt->clear();
    });
    QCOMPARE(view.JTtxt->text(), u"99"_s);
}

void TestQrsView::calipers_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<double>("gain");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("amplitude");
    QTest::newRow("25 mm/s, gain 1") << 25 << 1.0 << u"0.200"_s << u"0.500"_s;
    QTest::newRow("50 mm/s, gain 2") << 50 << 2.0 << u"0.100"_s << u"0.250"_s;
}

void TestQrsView::calipers()
{
    QFETCH(int, speed);
    QFETCH(double, gain);
    QFETCH(QString, time);
    QFETCH(QString, amplitude);
    TQRSview view;
    showWith(view, constantBeats(0), 100, speed, gain, [&] {
        QWidget* s = view.surface();
        const QColor face = view.palette().color(QPalette::Button);
        const QImage& img = view.surfaceImage();

        QTest::mousePress(s, Qt::LeftButton, {}, QPoint(100, 300));
        QCOMPARE(view.mvtxt->text(), u"0.000"_s);
        QCOMPARE(boxColour(view.mvtxt), QColor(Qt::red));
        QTest::mouseMove(s, QPoint(150, 241));
        QCOMPARE(view.mvtxt->text(), amplitude);
        expectPixels(img, {{150, 270, kBlue}});
        QTest::mouseMove(s, QPoint(200, 241));
        // The previous figure is erased; on the V2 curve the XOR shows yellow.
        expectPixels(img, {{150, 270, kWhite}, {200, 270, kBlue}, {90, 300, kStCaliperColor}});
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(200, 241));
        QCOMPARE(boxColour(view.mvtxt), face);
        expectPixels(img, {{200, 270, kBlue}}); // stays until the next redraw

        QTest::mousePress(s, Qt::RightButton, {}, QPoint(100, 400));
        QCOMPARE(boxColour(view.deltatxt), QColor(Qt::red));
        QTest::mouseMove(s, QPoint(159, 400));
        QCOMPARE(view.deltatxt->text(), time);
        QCOMPARE(view.mvtxt->text(), amplitude);
        expectPixels(img, {{130, 400, kBlue}});
        QTest::mouseRelease(s, Qt::RightButton, {}, QPoint(159, 400));
        QCOMPARE(boxColour(view.deltatxt), face);

        const QPoint onJ = view.measurement().markers().jLine.center();
        QTest::mousePress(s, Qt::LeftButton, {}, onJ); // a marker, not the surface
        QCOMPARE(boxColour(view.mvtxt), face);
        QTest::mouseRelease(s, Qt::LeftButton, {}, onJ);

        view.FormMouseMove(QPoint(300, 300));
        QCOMPARE(s->cursor().shape(), Qt::CrossCursor);
        view.FormMouseMove(QPoint(650, 200));
        QCOMPARE(s->cursor().shape(), Qt::ArrowCursor);

        QTest::mouseClick(view.UpDownD2->nextButton(), Qt::LeftButton);
        expectPixels(img, {{200, 270, kWhite}}); // redrawn
    });
    QCOMPARE(view.deltatxt->text(), time); // kept for the next opening
}

QTEST_MAIN(TestQrsView)
#include "tst_qrsview.moc"
