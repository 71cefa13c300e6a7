#include "TestMain.h"
#include "widgets/TransBtn.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPainter>
#include <QtTest>
#include <memory>

// The flat buttons of the main window: glyph cells and their grey and disabled images, frames,
// the layout of glyph and caption, and the mouse.
class TestTTransparentButton : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Magenta = 0xFFFF00FF;
    static constexpr QRgb Red = 0xFFFF0000;
    static constexpr QRgb Blue = 0xFF0000FF;
    static constexpr QRgb Green = 0xFF00FF00;

    std::unique_ptr<QWidget> m_window;
    TTransparentButton *m_button = nullptr;

    // A strip of 16 x 16 cells on magenta, each with a solid 8 x 8 square in its colour.
    static QImage strip(const QList<QRgb> &colours)
    {
        QImage image(16 * int(colours.size()), 16, QImage::Format_RGB32);
        image.fill(Magenta);
        QPainter painter(&image);
        for (int cell = 0; cell < colours.size(); ++cell)
            painter.fillRect(16 * cell + 4, 4, 8, 8, QColor::fromRgb(colours[cell]));
        return image;
    }

    // A solid 16 x 16 picture; only its bottom-left pixel is the transparent magenta.
    static QImage solid(QRgb colour)
    {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(colour);
        image.setPixel(0, 15, Magenta);
        return image;
    }

    static QRect boundsOf(const QImage &image, QRgb colour)
    {
        QRect bounds;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == colour)
                    bounds |= QRect(x, y, 1, 1);
        return bounds;
    }

    // Where text of the button's font and flags falls: every pixel that is not transparent.
    static QRect inkBounds(const QImage &image, const QRect &outside)
    {
        QRect bounds;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) != 0 && !outside.contains(x, y))
                    bounds |= QRect(x, y, 1, 1);
        return bounds;
    }

    void setHot(bool hot)
    {
        if (hot) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), m_button->mapToGlobal(QPointF(5, 5)));
            QCoreApplication::sendEvent(m_button, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(m_button, &leave);
        }
    }

    QSize textSize(const QString &caption) const
    {
        return m_button->fontMetrics()
            .boundingRect(m_button->rect(), Qt::TextShowMnemonic | Qt::TextSingleLine, caption)
            .size();
    }

    void showCaption(const QString &caption)
    {
        QPalette palette = m_button->palette();
        palette.setColor(QPalette::WindowText, Green);
        m_button->setPalette(palette);
        QFont font = m_button->font();
        font.setStyleStrategy(QFont::NoAntialias);
        m_button->setFont(font);
        m_button->SetCaption(caption);
    }

private slots:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(200, 120);
        m_button = new TTransparentButton(m_window.get());
        m_button->move(10, 10);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void numGlyphsFollowsTheGlyphWidth()
    {
        m_button->SetGlyph(QImage(32, 16, QImage::Format_RGB32));
        QCOMPARE(m_button->NumGlyphs(), 2);
        QCOMPARE(m_button->glyphImages().size(), std::size_t(4));
        m_button->SetGlyph(QImage(64, 16, QImage::Format_RGB32));
        QCOMPARE(m_button->NumGlyphs(), 4);
        m_button->SetGlyph(QImage(80, 16, QImage::Format_RGB32));
        QCOMPARE(m_button->NumGlyphs(), 1);
        m_button->SetNumGlyphs(2);
        m_button->SetGlyph(QImage(20, 16, QImage::Format_RGB32));
        QCOMPARE(m_button->NumGlyphs(), 2);
        QCOMPARE(m_button->glyphImages().front().size(), QSize(10, 16));
    }

    void greyAndDisabledImagesComeFromTheFirstCell()
    {
        m_button->SetGlyph(strip({qRgb(200, 100, 50), Blue}));
        const std::vector<QImage> &images = m_button->glyphImages();
        QCOMPARE(images.size(), std::size_t(4));
        QCOMPARE(qAlpha(images[0].pixel(0, 0)), 0);
        QCOMPARE(images[1].pixel(6, 6), Blue);
        const int level = (11 * 200 + 59 * 100 + 30 * 50) / 100;
        QCOMPARE(images[2].pixel(6, 6), qRgb(level, level, level));
        QCOMPARE(qAlpha(images[2].pixel(0, 0)), 0);
        QCOMPARE(images[3].pixel(4, 4), toQColor(colorBtnShadow).rgb());
        QCOMPARE(images[3].pixel(12, 12), toQColor(colorBtnHighlight).rgb());
        QCOMPARE(qAlpha(images[3].pixel(2, 2)), 0);
    }

    void flatGlyphIsGreyUntilTheMouseIsOver()
    {
        m_button->SetGlyph(strip({Red, Blue}));
        const int grey = 11 * 255 / 100;
        QCOMPARE(m_button->image().pixel(20, 20), qRgb(grey, grey, grey));
        setHot(true);
        QCOMPARE(m_button->image().pixel(20, 20), Red);
        setHot(false);
        m_button->SetAutoGray(false);
        QCOMPARE(m_button->image().pixel(20, 20), Red);
    }

    void disabledButtonShowsItsDisabledCell()
    {
        m_button->SetGlyph(strip({Red, Blue}));
        m_button->setEnabled(false);
        QCOMPARE(m_button->image().pixel(20, 20), Blue);

        m_button->SetGlyph(strip({Red}));
        const QImage image = m_button->image();
        QCOMPARE(image.pixel(16, 16), toQColor(colorBtnShadow).rgb());
        QCOMPARE(image.pixel(24, 24), toQColor(colorBtnHighlight).rgb());
    }

    void explorerFrameRisesUnderTheMouseAndSinksWhenPressed()
    {
        m_button->SetGlyph(strip({Red}));
        m_button->SetAutoGray(false);
        QCOMPARE(qAlpha(m_button->image().pixel(0, 0)), 0);
        setHot(true);
        QCOMPARE(m_button->image().pixel(0, 0), toQColor(colorBtnHighlight).rgb());
        QCOMPARE(m_button->image().pixel(39, 39), toQColor(colorBtnShadow).rgb());
        QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        const QImage pressed = m_button->image();
        QCOMPARE(pressed.pixel(0, 0), toQColor(colorBtnShadow).rgb());
        QCOMPARE(pressed.pixel(39, 39), toQColor(colorBtnHighlight).rgb());
        QCOMPARE(boundsOf(pressed, Red), QRect(17, 17, 8, 8));
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(20, 20));
    }

    void darkFrameUsesFaceAndDarkShadow()
    {
        m_button->SetFrameStyle(fsDark);
        setHot(true);
        QCOMPARE(m_button->image().pixel(0, 0), toQColor(colorBtnFace).rgb());
        QCOMPARE(m_button->image().pixel(39, 0), toQColor(colorDarkShadow).rgb());
        QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(m_button->image().pixel(0, 0), toQColor(colorDarkShadow).rgb());
        QCOMPARE(m_button->image().pixel(39, 39), toQColor(colorBtnFace).rgb());
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(20, 20));
    }

    void textRightPutsTheGlyphLeftAndTheCaptionRight()
    {
        m_button->resize(100, 40);
        m_button->SetAutoGray(false);
        m_button->SetGlyph(solid(Red));
        m_button->SetSpacing(4);
        m_button->SetTextAlign(ttaRight);
        showCaption("HH");
        const QImage image = m_button->image();
        const QRect glyph(4, 12, 16, 16);
        QCOMPARE(boundsOf(image, Red), glyph);
        const QSize text = textSize("HH");
        const QRect box(100 - text.width() - 4, 20 - text.height() / 2, text.width(), text.height());
        const QRect ink = inkBounds(image, glyph);
        QVERIFY(!ink.isEmpty());
        QVERIFY2(box.contains(ink),
                 qPrintable(QString("ink %1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
        QVERIFY(ink.right() > box.center().x());
    }

    void textBottomPutsTheCaptionUnderTheGlyph()
    {
        m_button->resize(60, 60);
        m_button->SetAutoGray(false);
        m_button->SetGlyph(solid(Red));
        m_button->SetTextAlign(ttaBottom);
        showCaption("HH");
        const QImage image = m_button->image();
        const QRect glyph(22, 2, 16, 16);
        QCOMPARE(boundsOf(image, Red).topLeft(), glyph.topLeft());
        const QSize text = textSize("HH");
        const QRect box(30 - text.width() / 2, 18 + 2, text.width(), text.height());
        const QRect ink = inkBounds(image, glyph);
        QVERIFY(!ink.isEmpty());
        QVERIFY(box.contains(ink));
    }

    void releasingOutsideDoesNotClick()
    {
        int clicks = 0;
        m_button->OnClick = [&clicks](QObject *) { ++clicks; };
        QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(m_button->Pressed());
        QTest::mouseMove(m_button, QPoint(80, 20));
        QVERIFY(!m_button->Pressed());
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(80, 20));
        QCOMPARE(clicks, 0);

        QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(m_button, QPoint(80, 20));
        QTest::mouseMove(m_button, QPoint(30, 20));
        QVERIFY(m_button->Pressed());
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(30, 20));
        QCOMPARE(clicks, 1);
        QVERIFY(!m_button->Pressed());
    }

    void downButtonStaysPressedOverADither()
    {
        m_button->SetGlyph(strip({Red}));
        m_button->SetDown(true);
        QTest::mouseClick(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(m_button->Pressed());
        setHot(true);
        const QImage image = m_button->image();
        QCOMPARE(image.pixel(2, 2), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(3, 2), toQColor(colorBtnFace).rgb());
        QCOMPARE(boundsOf(image, Red), QRect(17, 17, 8, 8));
        m_button->SetDown(false);
        QVERIFY(!m_button->Pressed());
    }

    void dropDownMenuOpensUnderTheButtonInsteadOfClicking()
    {
        int clicks = 0;
        m_button->OnClick = [&clicks](QObject *) { ++clicks; };
        QMenu menu;
        menu.addAction("Todas");
        m_button->SetDropDownMenu(&menu);
        QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QTRY_VERIFY(menu.isVisible());
        QCOMPARE(menu.pos(), m_button->mapToGlobal(QPoint(0, 40)));
        QVERIFY(m_button->Pressed());
        menu.hide();
        QVERIFY(!m_button->Pressed());
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(clicks, 0);
    }

    void disablingClearsHotAndPressed()
    {
        setHot(true);
        QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        m_button->setEnabled(false);
        QVERIFY(!m_button->Hot());
        QVERIFY(!m_button->Pressed());
        int clicks = 0;
        m_button->OnClick = [&clicks](QObject *) { ++clicks; };
        QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(clicks, 0);
    }

    void accelerator()
    {
        int clicks = 0;
        m_button->OnClick = [&clicks](QObject *) { ++clicks; };
        m_button->SetCaption("&Stop");
        QCOMPARE(m_button->accessibleName(), QString("Stop"));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(clicks, 1);
        m_button->setEnabled(false);
        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::AltModifier);
        QCOMPARE(clicks, 1);
    }

    // Tab reaches it and marks it with dots inside the frame; Space shows it pressed while held and
    // clicks on release, Enter clicks at once; a click of the mouse gives it no focus.
    void keyboardFocusesMarksAndPresses()
    {
        int clicks = 0;
        m_button->OnClick = [&clicks](QObject *) { ++clicks; };
        auto *before = new QLineEdit(m_window.get());
        before->move(100, 10);
        before->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        before->setFocus();
        QTest::mouseClick(m_button, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(clicks, 1);
        QVERIFY(before->hasFocus());
        QCOMPARE(qAlpha(m_button->image().pixel(2, 2)), 0);

        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(m_button->hasFocus());
        const QImage &marked = m_button->image();
        for (int x = 2; x <= 37; ++x) {
            QCOMPARE(marked.pixel(x, 2), (x + 2) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
            QCOMPARE(marked.pixel(x, 37), (x + 37) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
        QCOMPARE(qAlpha(marked.pixel(3, 3)), 0);

        QTest::keyPress(m_button, Qt::Key_Space);
        QVERIFY(m_button->Pressed());
        QCOMPARE(clicks, 1);
        QTest::keyRelease(m_button, Qt::Key_Space);
        QVERIFY(!m_button->Pressed());
        QCOMPARE(clicks, 2);
        QTest::keyClick(m_button, Qt::Key_Return);
        QCOMPARE(clicks, 3);
        m_button->setEnabled(false);
        QTest::keyClick(m_button, Qt::Key_Return);
        QCOMPARE(clicks, 3);
    }

    // A push button to assistive tools, named by its caption or else its hint, pressed by its action.
    void assistiveToolsSeeAPushButton()
    {
        int clicks = 0;
        m_button->OnClick = [&clicks](QObject *) { ++clicks; };
        m_button->setToolTip("Fast Timer");
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(m_button);
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(button->text(QAccessible::Name), QString("Fast Timer"));
        m_button->SetCaption("&Propiedades");
        QCOMPARE(button->text(QAccessible::Name), QString("Propiedades"));
        QCOMPARE(button->text(QAccessible::Description), QString("Fast Timer"));
        QVERIFY(button->state().focusable);
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks, 1);
        m_button->setEnabled(false);
        QVERIFY(!button->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks, 1);
    }
};

TOZELO_TEST_MAIN(TestTTransparentButton)
#include "tst_TTransparentButton.moc"
