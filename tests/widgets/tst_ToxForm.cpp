#include "TestMain.h"
#include "widgets/CaptionGlyphs.h"
#include "widgets/TNCButton.h"
#include "widgets/TNCCustomButton.h"
#include "widgets/oxForm.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QWhatsThis>
#include <QtTest>
#include <memory>

// The caption bar drawn inside the main window: its buttons, title, roll-up, stay-on-top and tray
// icon, with the main window's settings.
class TestToxForm : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QMainWindow> m_form;
    ToxForm *m_caption = nullptr;

    static QIcon someIcon()
    {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        return QIcon(pixmap);
    }

    void click(TNCButton *button) { QTest::mouseClick(m_caption, Qt::LeftButton, {}, button->Bounds().center()); }

    static int advance(const QFont &font, const QString &text) { return QFontMetrics(font).horizontalAdvance(text); }

    static bool hasPixel(const QImage &image, const QRect &area, QRgb colour)
    {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixel(x, y) == colour)
                    return true;
        return false;
    }

private slots:
    void init()
    {
        m_form = std::make_unique<QMainWindow>();
        m_form->setCentralWidget(new QWidget);
        m_form->setWindowTitle("Tozelo 99 version 1.1");
        m_form->resize(478, 300);
        m_caption = new ToxForm(m_form.get());
        m_caption->SetCaptionButtons(oxbRollUp | oxbStart | oxbOnTop | oxbCustom);
        m_caption->SetCustomButtons({"C"});
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }

    void cleanup() { m_form.reset(); }

    void onlyAWindowCanOwnTheCaption()
    {
        QWidget child(m_form.get());
        try {
            ToxForm refused(&child);
            QFAIL("a child widget was taken as the form");
        } catch (const std::invalid_argument &error) {
            QCOMPARE(QString(error.what()), QString("A Form MUST be the owner"));
        }
    }

    void captionTakesTheTopOfAFramelessWindow()
    {
        QVERIFY(m_form->windowFlags().testFlag(Qt::FramelessWindowHint));
        const int frame = m_caption->frameWidth();
        QCOMPARE(m_form->contentsMargins(), QMargins(frame, frame + m_caption->captionHeight(), frame, frame));
        QVERIFY(m_form->centralWidget()->geometry().top() >= frame + m_caption->captionHeight());
        QCOMPARE(m_caption->geometry(), m_form->rect());
        QCOMPARE(m_caption->captionRect(),
                 QRect(frame, frame, 478 - m_caption->systemButtonsWidth() - frame, m_caption->captionHeight()));

        m_caption->SetEnabled(false);
        QVERIFY(!m_form->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(m_form->contentsMargins(), QMargins());
        QVERIFY(m_caption->isHidden());
    }

    void buttonsRunRightToLeftWithTheirGaps()
    {
        const int width = m_caption->captionButtonWidth() - 2;
        const QRect pin = m_caption->onTopButton()->Bounds();
        const QRect up = m_caption->rollUpButton()->Bounds();
        const QRect flag = m_caption->startButton()->Bounds();
        QCOMPARE(m_caption->customButtons().size(), std::size_t(1));
        const QRect custom = m_caption->customButtons().front()->Bounds();
        QCOMPARE(pin.right() + 1, 478 - m_caption->systemButtonsWidth() - 2);
        QCOMPARE(pin.top(), m_caption->frameWidth() + 2);
        QCOMPARE(pin.size(), QSize(width, m_caption->captionHeight() - 4));
        QCOMPARE(up.right() + 1, pin.left());
        QCOMPARE(flag.right() + 1 + 2, up.left());
        QCOMPARE(custom.right() + 1 + 2, flag.left());
        QVERIFY(!m_caption->helpButton()->Shown());

        const QImage image = m_caption->image();
        QCOMPARE(image.pixel(pin.topLeft()), toQColor(colorBtnHighlight).rgb());
        QCOMPARE(image.pixel(pin.bottomRight()), toQColor(colorWindowFrame).rgb());
        QVERIFY(image.pixel(flag.right() + 1, flag.top()) != toQColor(colorBtnFace).rgb());
        QVERIFY(image.pixel(custom.right() + 1, custom.top()) != toQColor(colorBtnFace).rgb());
    }

    void moreCustomButtonsLineUpToTheLeft()
    {
        m_caption->SetCustomButtons({"C", "Dos"});
        QCOMPARE(m_caption->customButtons().size(), std::size_t(2));
        const QRect c = m_caption->customButtons()[0]->Bounds();
        QCOMPARE(m_caption->customButtons()[1]->Caption(), QString("Dos"));
        QCOMPARE(m_caption->customButtons()[1]->Bounds().right() + 1, c.left());
        m_caption->SetCustomButtons({"C"});
        QCOMPARE(m_caption->customButtons().size(), std::size_t(1));
    }

    void titleLeadsWithOneItalicWord()
    {
        const std::vector<TTitlePiece> pieces = m_caption->titlePieces();
        QCOMPARE(pieces.size(), std::size_t(2));
        QCOMPARE(pieces[0].text, QString("Tozelo "));
        QVERIFY(pieces[0].italic);
        const int start = m_caption->captionButtonWidth() - 2 + 4;
        QCOMPARE(pieces[0].x, start);
        QCOMPARE(pieces[1].text, QString("99 version 1.1"));
        QVERIFY(!pieces[1].italic);
        QCOMPARE(pieces[1].x, start + advance(m_caption->captionFont(), "Tozelo "));

        m_caption->SetItalicWords(0);
        QCOMPARE(m_caption->titlePieces().size(), std::size_t(1));
        QVERIFY(!m_caption->titlePieces().front().italic);
        m_caption->SetItalicWords(9);
        QVERIFY(m_caption->titlePieces().front().italic);
    }

    void titleIsWhiteOnAGradientFromBlack()
    {
        const QImage image = m_caption->image();
        const QRect caption = m_caption->captionRect();
        const TColor end = m_caption->captionActive() ? colorActiveCaption : colorInactiveCaption;
        QCOMPARE(image.pixel(caption.topLeft()), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(caption.right() + 2, caption.top()), toQColor(end).rgb());
        const int start = m_caption->titlePieces().front().x;
        const QRect title(caption.left() + start, caption.top(), 80, caption.height());
        QVERIFY(hasPixel(image, title, qRgb(255, 255, 255)));

        m_caption->SetActiveGradient(colorWhite);
        m_caption->SetInactiveGradient(colorWhite);
        const QImage inverted = m_caption->image();
        QCOMPARE(inverted.pixel(caption.topLeft()), qRgb(255, 255, 255));
        QVERIFY(hasPixel(inverted, title, qRgb(0, 0, 0)));
    }

    void longTitleIsShortenedWithDots()
    {
        const QString title = "Tozelo 99 version 1.1 con un titulo que no cabe en la barra";
        m_form->setWindowTitle(title);
        m_form->resize(300, 200);
        QTRY_COMPARE(m_caption->width(), 300);
        const std::vector<TTitlePiece> pieces = m_caption->titlePieces();
        const QString shown = pieces.front().text + (pieces.size() > 1 ? pieces.back().text : QString());
        QVERIFY(shown.endsWith("..."));
        const int start = pieces.front().x;
        const int room = m_caption->customButtons().front()->Bounds().left() - m_caption->captionRect().left() - start;
        const QFont font = m_caption->captionFont();
        QVERIFY(advance(font, shown) <= room);
        const QString kept = shown.chopped(3);
        QVERIFY(title.startsWith(kept));
        QVERIFY(advance(font, title.left(kept.size() + 1) + "...") > room);
    }

    void shortTitleFollowsTheAlignment()
    {
        m_form->setWindowTitle("Tozelo");
        const int right = m_caption->customButtons().front()->Bounds().left() - m_caption->captionRect().left();
        const int start = m_caption->titlePieces().front().x;
        const int width = advance(m_caption->captionFont(), "Tozelo");
        m_caption->SetAlignment(taRightJustify);
        QCOMPARE(m_caption->titlePieces().front().x, right - width);
        m_caption->SetAlignment(taCenter);
        QCOMPARE(m_caption->titlePieces().front().x, start + (right - start - width) / 2);
    }

    // The hint reaches the window as it stands: the same native window keeps the activation, the
    // keyboard focus and a maximised state with its restore size.
    void pinKeepsTheWindowItsFocusAndItsState()
    {
        auto *edit = new QLineEdit;
        m_form->setCentralWidget(edit);
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        edit->setFocus();
        QWindow *window = m_form->windowHandle();
        const WId id = m_form->winId();
        TNCButton *pin = m_caption->onTopButton();
        click(pin);
        QVERIFY(m_caption->OnTop());
        QVERIFY(m_form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window->flags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(m_form->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(pin->State(), nbsLocked);
        QCOMPARE(m_caption->image().pixel(pin->Bounds().topLeft()), toQColor(colorBtnShadow).rgb());
        QCoreApplication::processEvents();
        QCOMPARE(m_form->windowHandle(), window);
        QCOMPARE(m_form->winId(), id);
        QVERIFY(m_form->isVisible());
        QVERIFY(m_form->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), edit);

        click(pin);
        QVERIFY(!m_caption->OnTop());
        QVERIFY(!window->flags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(pin->State(), nbsUp);
        QCoreApplication::processEvents();
        QVERIFY(m_form->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), edit);

        m_form->showMaximized();
        QTRY_VERIFY(m_form->isMaximized());
        click(m_caption->onTopButton());
        QCoreApplication::processEvents();
        QVERIFY(m_form->isMaximized());
        m_form->showNormal();
        QTRY_COMPARE(m_form->size(), QSize(478, 300));
    }

    // Rolled up, the caption bar alone takes the clicks: the menu and status bars would lie over
    // its rows. Rolling down gives them back with the height.
    void chevronRollsTheWindowUpAndDown()
    {
        m_form->menuBar()->addMenu("&Programa");
        m_form->statusBar()->showMessage("Zarvo SoftWare");
        int rolls = 0;
        m_caption->OnRollUp = [&rolls](QObject *) { ++rolls; };
        const int rolled = 2 * m_caption->frameWidth() + m_caption->captionHeight();
        const auto clickAt = [this](const QPoint &point) {
            QCOMPARE(m_form->childAt(point), m_caption);
            QTest::mouseClick(m_form->windowHandle(), Qt::LeftButton, {}, point);
        };
        clickAt(m_caption->rollUpButton()->Bounds().center());
        QVERIFY(m_caption->RollUp());
        QCOMPARE(rolls, 1);
        QTRY_COMPARE(m_form->height(), rolled);
        QCOMPARE(m_caption->rollUpButton()->Glyph(), TCaptionGlyphs::picture("RollDownButton"));
        for (const QPoint &point : {QPoint(200, rolled - 1), QPoint(200, 12), QPoint(1, 12)})
            QCOMPARE(m_form->childAt(point), m_caption);

        clickAt(m_caption->rollUpButton()->Bounds().center());
        QVERIFY(!m_caption->RollUp());
        QCOMPARE(rolls, 2);
        QTRY_COMPARE(m_form->height(), 300);
        QVERIFY(m_form->menuBar()->isVisible() && m_form->statusBar()->isVisible());
        QCOMPARE(m_caption->rollUpButton()->Glyph(), TCaptionGlyphs::picture("RollUpButton"));

        m_caption->SetRollUp(true);
        QTRY_COMPARE(m_form->height(), rolled);
        m_form->resize(478, 2 * rolled + 1);
        QTRY_VERIFY(!m_caption->RollUp());
        QVERIFY(m_form->statusBar()->isVisible());
        QCOMPARE(m_caption->rollUpButton()->Glyph(), TCaptionGlyphs::picture("RollUpButton"));
    }

    void captionDoubleClickMaximisesAndRestores()
    {
        const QPoint title = m_caption->captionRect().center();
        QTest::mouseDClick(m_form->windowHandle(), Qt::LeftButton, {}, title);
        QTRY_VERIFY(m_form->isMaximized());
        QTest::mouseDClick(m_form->windowHandle(), Qt::LeftButton, {}, title);
        QTRY_VERIFY(!m_form->isMaximized());
        QCOMPARE(m_form->size(), QSize(478, 300));
    }

    // A move lasts as long as the button is held: a tap, however quick, leaves the window where it
    // is, and after the release the pointer moves alone.
    void captionMovesOnlyWhileTheButtonIsHeld()
    {
        const QPoint start = m_form->pos();
        const QPoint title = m_caption->captionRect().center();
        QTest::mousePress(m_caption, Qt::LeftButton, {}, title);
        QTest::mouseRelease(m_caption, Qt::LeftButton, {}, title);
        QTest::mouseMove(m_caption, title + QPoint(40, 30));
        QCOMPARE(m_form->pos(), start);

        QTest::mousePress(m_caption, Qt::LeftButton, {}, title);
        QTest::mouseMove(m_caption, title + QPoint(40, 30));
        QTRY_COMPARE(m_form->pos(), start + QPoint(40, 30));
        QTest::mouseRelease(m_caption, Qt::LeftButton, {}, title + QPoint(40, 30));
        QTest::mouseMove(m_caption, title + QPoint(80, 60));
        QCOMPARE(m_form->pos(), start + QPoint(40, 30));
    }

    void buttonClicksOnlyWhenReleasedOverIt()
    {
        QStringList clicked;
        m_caption->OnButtonClick = [&clicked](QObject *, const QString &caption) { clicked << caption; };
        TNCButton *custom = m_caption->customButtons().front();
        const QPoint inside = custom->Bounds().center();
        QTest::mousePress(m_caption, Qt::LeftButton, {}, inside);
        QCOMPARE(custom->State(), nbsPressed);
        QTest::mouseMove(m_caption, QPoint(100, 100));
        QCOMPARE(custom->State(), nbsUp);
        QTest::mouseRelease(m_caption, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(clicked.isEmpty());

        click(custom);
        QCOMPARE(clicked, QStringList{"C"});

        click(m_caption->startButton());
        QVERIFY(m_caption->startButton()->Shown());
        QCOMPARE(m_form->height(), 300);
    }

    void frameEdgesSizeTheWindow()
    {
        const auto cursorAt = [this](const QPoint &point) {
            QMouseEvent move(QEvent::MouseMove, point, m_caption->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(m_caption, &move);
            return m_caption->cursor().shape();
        };
        QCOMPARE(cursorAt(QPoint(1, 150)), Qt::SizeHorCursor);
        QCOMPARE(cursorAt(QPoint(200, 298)), Qt::SizeVerCursor);
        QCOMPARE(cursorAt(QPoint(1, 1)), Qt::SizeFDiagCursor);
        QCOMPARE(cursorAt(QPoint(10, 1)), Qt::SizeFDiagCursor);
        QCOMPARE(cursorAt(QPoint(477, 299)), Qt::SizeFDiagCursor);
        QCOMPARE(cursorAt(QPoint(477, 1)), Qt::SizeBDiagCursor);
        QCOMPARE(cursorAt(QPoint(200, 12)), Qt::ArrowCursor);
        m_form->setFixedSize(m_form->size());
        QCOMPARE(cursorAt(QPoint(1, 150)), Qt::ArrowCursor);
    }

    void helpButtonPicksAControl()
    {
        QWidget *central = m_form->centralWidget();
        QList<QWidget *> picked;
        bool cancel = true;
        m_caption->OnHelpSelect = [&](QObject *, QWidget *control, int, bool &Cancel) {
            picked << control;
            Cancel = cancel;
        };
        m_caption->SetCaptionButtons(m_caption->CaptionButtons() | oxbHelp);
        QVERIFY(m_caption->helpButton()->Shown());
        click(m_caption->helpButton());
        QVERIFY(QWhatsThis::inWhatsThisMode());
        QTest::mouseClick(central, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(picked, QList<QWidget *>{central});
        QVERIFY(!QWhatsThis::inWhatsThisMode());

        cancel = false;
        click(m_caption->helpButton());
        QTest::mouseClick(central, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(picked.size(), 2);
        QWhatsThis::leaveWhatsThisMode();
    }

    void trayIconWaitsForTheFirstShowing()
    {
        QMainWindow form;
        auto *caption = new ToxForm(&form);
        caption->SetTrayIcon(someIcon());
        caption->SetTrayHint(QString(70, 'x'));
        caption->SetTrayEnabled(true);
        QVERIFY(!caption->trayIcon()->isVisible());
        form.show();
        QVERIFY(caption->trayIcon()->isVisible());
        QCOMPARE(caption->trayIcon()->toolTip(), QString(63, 'x'));
        caption->SetTrayHint("Tozelo");
        QCOMPARE(caption->trayIcon()->toolTip(), QString("Tozelo"));
        caption->SetTrayEnabled(false);
        QVERIFY(!caption->trayIcon()->isVisible());
    }

    void trayEventsReachTheirHandlers()
    {
        int clicks = 0, doubleClicks = 0;
        m_caption->OnTrayClick = [&clicks](QObject *) { ++clicks; };
        m_caption->OnTrayDblClk = [&doubleClicks](QObject *) { ++doubleClicks; };
        emit m_caption->trayIcon()->activated(QSystemTrayIcon::Trigger);
        emit m_caption->trayIcon()->activated(QSystemTrayIcon::DoubleClick);
        QCOMPARE(clicks, 1);
        QCOMPARE(doubleClicks, 1);

        emit m_caption->trayIcon()->activated(QSystemTrayIcon::Context);
        QMenu menu;
        menu.addAction("MaximiZar");
        m_caption->SetTrayMenu(&menu);
        emit m_caption->trayIcon()->activated(QSystemTrayIcon::Context);
        QTRY_VERIFY(menu.isVisible());
        menu.hide();
    }

    void trayMenuReferenceIsClearedWithTheMenu()
    {
        auto *menu = new QMenu;
        m_caption->SetTrayMenu(menu);
        delete menu;
        QCOMPARE(m_caption->TrayMenu(), nullptr);
        emit m_caption->trayIcon()->activated(QSystemTrayIcon::Context);
    }
};

TOZELO_TEST_MAIN(TestToxForm)
#include "tst_ToxForm.moc"
