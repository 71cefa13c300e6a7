#include "TestMain.h"
#include "widgets/BandGradient.h"
#include "widgets/ToxBackground.h"
#include "widgets/oxBtns.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QSet>
#include <QtTest>

namespace {
constexpr TColor Purple = rgbColor(128, 0, 128);
constexpr TColor Teal = rgbColor(0, 128, 128);
constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Red = 0xFFFF0000;

// Pixels of one colour inside an area; fonts drawn without smoothing make them exact.
QSet<QPair<int, int>> pixelsOf(const QImage &image, QRgb colour, const QRect &area)
{
    QSet<QPair<int, int>> found;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) == colour)
                found.insert({x, y});
    return found;
}

QSet<QPair<int, int>> shifted(const QSet<QPair<int, int>> &pixels, int dx, int dy)
{
    QSet<QPair<int, int>> moved;
    for (const auto &[x, y] : pixels)
        moved.insert({x + dx, y + dy});
    return moved;
}

QFont sharpFont(int points)
{
    QFont font("Bookman Old Style");
    font.setPointSize(points);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}
} // namespace

// The graphic button: background, frames, caption placement and effects, the press, toggles,
// repeat, and the pictures it keeps per visual state.
class TestToxGraphicButton : public QObject {
    Q_OBJECT

private:
    // The credits dialog's "Cerrar".
    static void makeCerrar(ToxGraphicButton &button)
    {
        button.resize(81, 21);
        button.SetCaption("Cerrar");
        button.SetStyle(bsInset);
        button.Background()->SetStyle(oxbGradient);
        button.Background()->SetGradient(Purple);
        button.Background()->SetDitherDown(false);
        button.SetColor(colorBlack);
        button.SetShadowColor(Teal);
        button.SetFont(sharpFont(8));
        button.SetFontColor(colorWhite);
        button.SetTextX(0);
        button.SetTextY(0);
        button.SetOptions({});
    }

    // Red text on black, for the caption effects.
    static void makePlain(ToxGraphicButton &button, const QString &caption)
    {
        button.resize(90, 30);
        button.SetCaption(caption);
        button.SetColor(colorBlack);
        button.SetFont(sharpFont(10));
        button.SetFontColor(rgbColor(255, 0, 0));
        button.SetTextX(0);
        button.SetTextY(0);
        button.SetStyle(bsBorderless);
    }

    // The colour the band gradient leaves at column x of a button width wide: the last band drawn there.
    static QRgb gradientAt(TBandGradient &gradient, int width, int x)
    {
        const double step = width / 128.0;
        const int thickness = int(step + 1);
        int entry = 0;
        for (int band = 0; band < 128; ++band) {
            const int left = int(band * step);
            if (left <= x && x < left + thickness)
                entry = band;
        }
        return gradient.colorTable()[std::size_t(entry)];
    }

    static QRgb rgbOf(TColor colour) { return toQColor(colour).rgb(); }

private slots:
    void cerrarShowsGradientInsetFrameAndCentredCaption()
    {
        ToxGraphicButton button;
        makeCerrar(button);
        const QImage image = button.image();
        TBandGradient gradient;
        gradient.SetStartColor(Purple);
        gradient.SetEndColor(colorBlack);
        QCOMPARE(image.pixel(3, 10), gradientAt(gradient, 81, 3));
        QCOMPARE(image.pixel(10, 10), gradientAt(gradient, 81, 10));
        QCOMPARE(image.pixel(77, 10), gradientAt(gradient, 81, 77));
        QVERIFY(qRed(image.pixel(3, 10)) > 110 && qRed(image.pixel(77, 10)) < 10);

        const QList<QPair<QPoint, TColor>> frame{{{0, 10}, colorBtnShadow},     {{40, 0}, colorBtnShadow},
                                                 {{80, 10}, colorBtnHighlight}, {{40, 20}, colorBtnHighlight},
                                                 {{1, 10}, colorWindowFrame},   {{79, 10}, colorWindowFrame},
                                                 {{2, 10}, colorBtnHighlight},  {{40, 2}, colorBtnHighlight},
                                                 {{78, 10}, colorBtnShadow},    {{40, 18}, colorBtnShadow}};
        for (const auto &[at, colour] : frame)
            QCOMPARE(image.pixel(at), rgbOf(colour));

        const QRect box = button.textRect();
        QCOMPARE(box.left(), (81 - box.width()) / 2);
        QCOMPARE(box.top(), (21 - box.height()) / 2);
        const QRect inside(3, 3, 75, 15);
        QVERIFY(!pixelsOf(image, White, box & inside).isEmpty());
        QVERIFY((pixelsOf(image, White, inside) - pixelsOf(image, White, box)).isEmpty());
    }

    // Pressed: the caption moves 2 right and 2 down, the inner raised ring gives way to a shadow
    // line along the top and left; released inside it clicks once.
    void pressingCerrarShiftsTheCaptionAndSinksTheFrame()
    {
        ToxGraphicButton button;
        makeCerrar(button);
        int clicks = 0;
        button.OnClick = [&clicks](QObject *) { ++clicks; };
        const QImage up = button.image();
        const QRect upBox = button.textRect();

        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(40, 10));
        QVERIFY(button.Pressed());
        const QImage pressed = button.image();
        QCOMPARE(button.textRect(), upBox.translated(2, 2));
        // Inside the frame the text is the same, two pixels on.
        const auto upText = pixelsOf(up, White, QRect(3, 3, 73, 13));
        QVERIFY(!upText.isEmpty());
        QCOMPARE(pixelsOf(pressed, White, QRect(5, 5, 73, 13)), shifted(upText, 2, 2));
        QCOMPARE(pressed.pixel(0, 10), rgbOf(colorBtnShadow));
        QCOMPARE(pressed.pixel(1, 10), rgbOf(colorWindowFrame));
        QCOMPARE(pressed.pixel(2, 10), rgbOf(colorBtnShadow));
        QCOMPARE(pressed.pixel(40, 2), rgbOf(colorBtnShadow));
        TBandGradient gradient;
        gradient.SetStartColor(Purple);
        gradient.SetEndColor(colorBlack);
        QCOMPARE(pressed.pixel(78, 10), gradientAt(gradient, 81, 78));
        QCOMPARE(pressed.pixel(4, 18), gradientAt(gradient, 81, 4));

        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(40, 10));
        QCOMPARE(clicks, 1);
        QCOMPARE(button.image(), up);
    }

    void textOffsetsPlaceTheBoxFromEitherEdge()
    {
        ToxGraphicButton button;
        makeCerrar(button);
        button.SetCaption("La idea");
        button.SetTextX(19);
        QRect box = button.textRect();
        QCOMPARE(box.left(), 19);
        QCOMPARE(box.top(), (21 - box.height()) / 2);

        ToxGraphicButton fresh;
        fresh.resize(100, 40);
        fresh.SetCaption("Zarvo");
        box = fresh.textRect();
        QCOMPARE(box.right() + 1, 100 - 5);
        QCOMPARE(box.bottom() + 1, 40 - 5);
        QCOMPARE(box.size(), QFontMetrics(fresh.Font()).size(Qt::TextSingleLine, "Zarvo") + QSize(4, 2));
    }

    void captionEffectsDrawCopiesAroundTheText()
    {
        ToxGraphicButton button;
        makePlain(button, "Hola");
        const QRect all(0, 0, 90, 30);
        button.SetFont3D(TFontStyle::fsRaised);
        QImage image = button.image();
        const auto text = pixelsOf(image, Red, all);
        QVERIFY(!text.isEmpty());
        QCOMPARE(pixelsOf(image, rgbOf(colorBtnHighlight), all), shifted(text, -1, -1) - text);

        button.SetFont3D(TFontStyle::fsShadow);
        button.SetShadowColor(Teal);
        image = button.image();
        QCOMPARE(pixelsOf(image, rgbOf(Teal), all), shifted(text, 2, 2) - text);
        // A shadowed caption stays put when pressed; its shadow drops further instead.
        const QRect box = button.textRect();
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button.textRect(), box);
        image = button.image();
        QCOMPARE(pixelsOf(image, Red, all), text);
        QCOMPARE(pixelsOf(image, rgbOf(Teal), all), shifted(text, 4, 4) - text);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));

        button.SetFont3D(TFontStyle::fsNone);
        QVERIFY(pixelsOf(button.image(), Red, all).isEmpty());
    }

    void disabledCaptionIsGreyAndInset()
    {
        ToxGraphicButton button;
        makePlain(button, "Hola");
        const QRect all(0, 0, 90, 30);
        const auto text = pixelsOf(button.image(), Red, all);
        button.setEnabled(false);
        const QImage image = button.image();
        QVERIFY(pixelsOf(image, Red, all).isEmpty());
        QCOMPARE(pixelsOf(image, qRgb(128, 128, 128), all), text);
        QCOMPARE(pixelsOf(image, rgbOf(colorBtnHighlight), all), shifted(text, 1, 1) - text);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!button.Pressed());
    }

    void rotatedCaptionStandsUp()
    {
        ToxGraphicButton button;
        makePlain(button, "MMMMMM");
        button.resize(120, 120);
        const auto bounds = [&button] {
            QRect box;
            for (const auto &[x, y] : pixelsOf(button.image(), Red, QRect(0, 0, 120, 120)))
                box |= QRect(x, y, 1, 1);
            return box;
        };
        QVERIFY(bounds().width() > bounds().height());
        button.SetTextAngle(90);
        QVERIFY(bounds().height() > bounds().width());
        button.SetTextAngle(400);
        QCOMPARE(button.TextAngle(), 90);
    }

    void pressMovedOutsideAndReleasedThereDoesNotClick()
    {
        ToxGraphicButton button;
        makeCerrar(button);
        int clicks = 0;
        button.OnClick = [&clicks](QObject *) { ++clicks; };
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(&button, QPoint(120, 10));
        QVERIFY(!button.Pressed());
        QTest::mouseMove(&button, QPoint(20, 10));
        QVERIFY(button.Pressed());
        QTest::mouseMove(&button, QPoint(20, 40));
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(20, 40));
        QCOMPARE(clicks, 0);
        QVERIFY(!button.Pressed());
    }

    // A toggle latches with a 1-pixel caption shift and a dither; in a group one stays down.
    void togglesLatchAndGroup()
    {
        QWidget parent;
        auto *a = new ToxGraphicButton(&parent);
        auto *b = new ToxGraphicButton(&parent);
        for (ToxGraphicButton *button : {a, b}) {
            makeCerrar(*button);
            button->SetButtonType(oxbToggle);
            button->SetGroup(1);
            button->Background()->SetDitherDown(true);
        }
        int changes = 0;
        a->OnChange = [&changes](QObject *) { ++changes; };
        const QRect upBox = a->textRect();
        QTest::mouseClick(a, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(a->Value());
        QCOMPARE(changes, 1);
        QCOMPARE(a->textRect(), upBox.translated(1, 1));
        const QImage latched = a->image();
        QVERIFY((latched.pixel(5, 10) == rgbOf(colorBtnHighlight)) !=
                (latched.pixel(6, 10) == rgbOf(colorBtnHighlight)));

        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(b->Value());
        QVERIFY(!a->Value());
        QCOMPARE(changes, 2);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(b->Value());
        b->SetGroupAllowNoSel(true);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(!b->Value());

        // Dragged off and released outside, a latched toggle stays latched.
        QTest::mouseClick(a, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mousePress(a, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(a, QPoint(200, 10));
        QTest::mouseRelease(a, Qt::LeftButton, {}, QPoint(200, 10));
        QVERIFY(a->Value());
        QCOMPARE(a->textRect(), upBox.translated(1, 1));
    }

    void repeatButtonClicksWhileHeld()
    {
        ToxGraphicButton button;
        makeCerrar(button);
        button.SetButtonType(oxbRepeat);
        button.SetInitDelay(20);
        button.SetDelay(10);
        int clicks = 0;
        button.OnClick = [&clicks](QObject *) { ++clicks; };
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(clicks, 0);
        QTRY_VERIFY(clicks >= 3);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(!button.findChild<QTimer *>()->isActive());
    }

    void win97FrameShowsOnlyUnderTheMouse()
    {
        ToxGraphicButton button;
        button.resize(40, 20);
        button.SetStyle(bsWin97);
        button.SetColor(colorBlack);
        int entered = 0;
        button.OnMouseEnter = [&entered](QObject *) { ++entered; };
        QCOMPARE(button.image().pixel(0, 10), qRgb(0, 0, 0));
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&button, &enter);
        QCOMPARE(entered, 1);
        QCOMPARE(button.image().pixel(0, 10), rgbOf(colorBtnHighlight));
        QCOMPARE(button.image().pixel(39, 10), rgbOf(colorBtnShadow));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&button, &leave);
        QCOMPARE(button.image().pixel(0, 10), qRgb(0, 0, 0));
    }

    void clearBackgroundShowsTheParent()
    {
        QWidget parent;
        parent.setAutoFillBackground(true);
        parent.setPalette(QPalette(Qt::white, QColor(0, 0, 200)));
        auto *button = new ToxGraphicButton(&parent);
        button->setGeometry(10, 10, 40, 20);
        button->SetStyle(bsBorderless);
        button->Background()->SetStyle(oxbClear);
        QCOMPARE(button->image().pixel(20, 10), qRgb(0, 0, 200));
        parent.setPalette(QPalette(Qt::white, QColor(0, 200, 0)));
        button->update();
        button->SetColor(rgbColor(255, 0, 0));
        QCOMPARE(button->image().pixel(20, 10), qRgb(0, 200, 0));
    }

    // With oxbCacheImages a state seen before is copied, until a property changes.
    void picturesAreKeptPerVisualState()
    {
        ToxGraphicButton button;
        makeCerrar(button);
        button.SetOptions(oxbCacheImages);
        const QImage up = button.image();
        const int painted = button.paintCount();
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        button.image();
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(button.image(), up);
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        button.image();
        QCOMPARE(button.paintCount(), painted + 1);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));

        button.SetCaption("Salir");
        QVERIFY(button.image() != up);
        QCOMPARE(button.paintCount(), painted + 2);

        button.SetOptions({});
        button.image();
        const int uncached = button.paintCount();
        QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
        button.image();
        QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
        button.image();
        QCOMPARE(button.paintCount(), uncached + 2);
    }

    // Tab reaches it and marks it with dots inside the inset frame, over the kept picture; Space
    // presses it while held and clicks on release, Enter clicks. To assistive tools it is a push
    // button named by its caption, pressed by its action, which flips a toggle.
    void keyboardAndAssistiveTools()
    {
        QWidget window;
        auto *first = new ToxGraphicButton(&window);
        auto *button = new ToxGraphicButton(&window);
        makeCerrar(*button);
        button->SetOptions(oxbCacheImages);
        button->move(0, 30);
        int clicks = 0;
        button->OnClick = [&clicks](QObject *) { ++clicks; };
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QImage up = button->image();
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Tab);
        QVERIFY(button->hasFocus());
        const QImage marked = button->image();
        for (int x = 3; x <= 77; ++x)
            QCOMPARE(marked.pixel(x, 3), (x + 3) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        QCOMPARE(marked.pixel(10, 10), up.pixel(10, 10));

        QTest::keyPress(button, Qt::Key_Space);
        QVERIFY(button->Pressed());
        QTest::keyRelease(button, Qt::Key_Space);
        QVERIFY(!button->Pressed());
        QTest::keyClick(button, Qt::Key_Enter);
        QCOMPARE(clicks, 2);
        QTest::keyClick(button, Qt::Key_Tab);
        QVERIFY(first->hasFocus());
        QCOMPARE(button->image(), up);

        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(button);
        QCOMPARE(node->role(), QAccessible::Button);
        QCOMPARE(node->text(QAccessible::Name), QString("Cerrar"));
        button->SetButtonType(oxbToggle);
        node->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks, 3);
        QVERIFY(button->Value());
    }
};

TOZELO_TEST_MAIN(TestToxGraphicButton)
#include "tst_ToxGraphicButton.moc"
