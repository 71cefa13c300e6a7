// The credits dialog under a real window manager (openbox).
#include "TestMain.h"
#include "desktop/Desktop.h"
#include "dialogs/Unit4.h"

class tst_DesktopTForm4 : public QObject {
    Q_OBJECT
private slots:
    // The window manager is asked for no close, minimise or maximise box; one that draws a close
    // box all the same gets a working one.
    void asksForNoWindowButtons()
    {
        TForm4 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QStringList hints = Desktop::values(form.winId(), "_MOTIF_WM_HINTS");
        QCOMPARE(hints.size(), 5);
        const uint flags = hints[0].toUInt(nullptr, 0);
        const uint functions = hints[1].toUInt(nullptr, 0);
        const uint decorations = hints[2].toUInt(nullptr, 0);
        QVERIFY(flags & 1);               // the functions are given
        QCOMPARE(functions, 4u);          // move only: no close, minimise, maximise or resize
        QCOMPARE(decorations & 0x78, 8u); // the title, and no window menu, minimise or maximise box

        // On a loaded machine the window manager may take a key press before its bindings are read.
        bool closed = false;
        for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
            QVERIFY(Desktop::activate(&form));
            Desktop::key("alt+F4");
            closed = QTest::qWaitFor([&form] { return !form.isVisible(); }, 5000);
        }
        QVERIFY(closed);
    }
};

TOZELO_TEST_MAIN(tst_DesktopTForm4)
#include "tst_TForm4.moc"
