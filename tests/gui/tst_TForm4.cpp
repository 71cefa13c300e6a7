#include "TestMain.h"
#include "dialogs/Unit4.h"
#include "gui/WindowChecks.h"
#include "ui/Artwork.h"
#include "widgets/AHMTHolders.h"
#include "widgets/ToxBackground.h"
#include "widgets/oxBtns.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QtTest>

// The credits dialog: its design, the three texts and what the buttons show.
class TestTForm4 : public QObject {
    Q_OBJECT

private:
    static QStringList memoLines(const TForm4 &form) { return form.Memo1->toPlainText().split('\n'); }

    static void press(ToxGraphicButton *button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 10)); }

private slots:
    void designHasThePictureVersionMemoAndFourButtons()
    {
        TForm4 form;
        QCOMPARE(form.windowTitle(), QString("Zarvo Creditos"));
        QCOMPARE(form.size(), QSize(358, 394));
        QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(form.Image1->geometry(), QRect(0, 0, 358, 262));
        QVERIFY(!form.Image1->pixmap().isNull());
        QCOMPARE(form.Label1->text(), QString("Version 1.1.1"));
        QCOMPARE(form.Label1->pos(), QPoint(204, 60));
        QCOMPARE(form.Memo1->geometry(), QRect(0, 262, 358, 132));
        QVERIFY(form.Memo1->isReadOnly());

        const QList<ToxGraphicButton *> buttons{form.lida, form.euor, form.ks, form.oxGraphicButton1};
        const QStringList captions{"La idea", "El autor", "Zarvo Soft.", "Cerrar"};
        for (int row = 0; row < buttons.size(); ++row) {
            ToxGraphicButton *button = buttons[row];
            QCOMPARE(button->Caption(), captions[row]);
            QCOMPARE(button->size(), QSize(81, 21));
            QCOMPARE(button->image().pixel(1, 10), toQColor(colorWindowFrame).rgb()); // inset
            QVERIFY(button->geometry().bottom() < 262);
            QVERIFY(button->x() > 179);
            if (row > 0)
                QVERIFY(button->y() > buttons[row - 1]->geometry().bottom());
        }
        QCOMPARE(form.lida->textRect().left(), 19);
        QCOMPARE(form.ks->textRect().left(), 7);
        QCOMPARE(form.oxGraphicButton1->image().pixel(3, 10), qRgb(128 - 6, 0, 128 - 6));
    }

    void textsAreSpanishProseOfTheirOwnLengths()
    {
        TForm4 form;
        QCOMPARE(form.laidea->Items().size(), 41);
        QCOMPARE(form.yo->Items().size(), 23);
        QCOMPARE(form.zarvo->Items().size(), 36);
        QCOMPARE(memoLines(form), form.laidea->Items());
    }

    void eachPressShowsItsTextOnce()
    {
        TForm4 form;
        press(form.euor);
        press(form.euor);
        QCOMPARE(memoLines(form), form.yo->Items());
        press(form.ks);
        QCOMPARE(memoLines(form), form.zarvo->Items());
        press(form.lida);
        press(form.lida);
        QCOMPARE(memoLines(form), form.laidea->Items());
    }

    // Escape does not hide the dialog; "Cerrar" and a close box that a window manager keeps do, and
    // the text chosen last is still there next time.
    void theChosenTextOutlivesHiding()
    {
        TForm4 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        press(form.euor);
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(form.isVisible());
        press(form.oxGraphicButton1);
        QVERIFY(!form.isVisible());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(memoLines(form), form.yo->Items());
    }

    // Centred, the artwork's signature in sight beside the buttons, every control named; the
    // keyboard reaches the buttons in their order and Space and Enter press them.
    void openCentredAndWorkedByKeyboard()
    {
        TForm4 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(WindowChecks::centredOnScreen(&form));
        const QSize picture(Artwork::SplashWidth, Artwork::SplashHeight);
        const QPoint pictureAt((form.Image1->width() - picture.width()) / 2, 0);
        const QRect signature = Artwork::signatureRect(picture).translated(pictureAt);
        for (const ToxGraphicButton *button : {form.lida, form.euor, form.ks, form.oxGraphicButton1})
            QVERIFY2(!button->geometry().intersects(signature), qPrintable(button->objectName()));
        const QStringList faults = WindowChecks::layoutFaults(&form) + WindowChecks::accessibilityFaults(&form);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));

        QList<QWidget *> visited;
        form.lida->setFocus();
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        QCOMPARE(visited, QList<QWidget *>({form.euor, form.ks, form.oxGraphicButton1, form.Memo1}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.lida);
        QTest::keyClick(form.lida, Qt::Key_Tab);
        QTest::keyClick(form.euor, Qt::Key_Space);
        QCOMPARE(memoLines(form), form.yo->Items());
        QTest::keyClick(form.euor, Qt::Key_Tab);
        QTest::keyClick(form.ks, Qt::Key_Return);
        QCOMPARE(memoLines(form), form.zarvo->Items());
    }
};

TOZELO_TEST_MAIN(TestTForm4)
#include "tst_TForm4.moc"
