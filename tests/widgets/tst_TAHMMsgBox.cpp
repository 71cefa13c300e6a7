#include "TestMain.h"
#include "gui/WindowChecks.h"
#include "widgets/AHMTMessages.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QtTest>

// The prepared message box: its text, title, icon and buttons, the sound before the dialog, the
// answer in Return and the one event that answer fires. A hook answers instead of a user.
class TestTAHMMsgBox : public QObject {
    Q_OBJECT

private:
    QStringList m_log;

    static QStringList buttonCaptions(const QMessageBox &box)
    {
        QStringList captions;
        for (QAbstractButton *button : box.buttons())
            if (!button->isHidden())
                captions << button->text();
        captions.sort();
        return captions;
    }

    void logEvents(TAHMMsgBox &box)
    {
        const auto log = [this, &box](const char *name) {
            return [this, &box, name](QObject *sender) {
                QCOMPARE(sender, &box);
                m_log << name;
            };
        };
        box.OnYes = log("Yes");
        box.OnNo = log("No");
        box.OnOk = log("Ok");
        box.OnCancel = log("Cancel");
        box.OnAbort = log("Abort");
        box.OnRetry = log("Retry");
        box.OnIgnore = log("Ignore");
        box.OnAll = log("All");
    }

private slots:
    void init()
    {
        m_log.clear();
        TAHMCustomDialog::setSoundHook(
            [this](TAHMCustomDialog *, unsigned type) { m_log << QString("sound %1").arg(type, 0, 16); });
    }

    void cleanup()
    {
        TAHMMsgBox::setExecHook(nullptr);
        TAHMCustomDialog::setSoundHook(nullptr);
    }

    void warningWithDefaultButtons()
    {
        TAHMMsgBox fastP;
        fastP.SetMessageType(mtWarning);
        fastP.SetCaption({"Fast Tozelo", "aun no disponible !"});
        QCOMPARE(fastP.MessageText(), QString("Fast Tozelo\raun no disponible !\r"));
        TAHMMsgBox::setExecHook([this](QMessageBox &box) {
            m_log << "dialog";
            [&] {
                QCOMPARE(box.windowTitle(), QString("Warning"));
                QCOMPARE(box.icon(), QMessageBox::Warning);
                QCOMPARE(box.text(), QString("Fast Tozelo\naun no disponible !"));
                QCOMPARE(buttonCaptions(box), QStringList({"Cancel", "OK"}));
                QVERIFY(!box.testAttribute(Qt::WA_Moved));
            }();
            return int(QMessageBox::Ok);
        });
        QVERIFY(fastP.Execute());
        QCOMPARE(m_log, QStringList({"dialog"}));
        QCOMPARE(fastP.Return(), 1);
    }

    void criticalStopSoundsFirstThenOk()
    {
        TAHMMsgBox rpingerror;
        rpingerror.SetSound(bCriticalStop);
        rpingerror.SetMessageType(mtError);
        rpingerror.SetButtons({mbOK});
        logEvents(rpingerror);
        TAHMMsgBox::setExecHook([this](QMessageBox &box) {
            m_log << box.windowTitle();
            [&] { QCOMPARE(buttonCaptions(box), QStringList({"OK"})); }();
            box.button(QMessageBox::Ok)->click();
            return int(box.standardButton(box.clickedButton()));
        });
        rpingerror.Execute();
        QCOMPARE(m_log, QStringList({"sound 10", "Error", "Ok"}));
        QCOMPARE(rpingerror.Return(), 1);
        QCOMPARE(rpingerror.MessageText(), QString());
    }

    void closeBoxAnswersCancel()
    {
        TAHMMsgBox box;
        box.SetButtons({mbOK});
        logEvents(box);
        TAHMMsgBox::setExecHook([](QMessageBox &dialog) {
            dialog.show();
            dialog.close();
            return int(dialog.standardButton(dialog.clickedButton()));
        });
        box.Execute();
        QCOMPARE(box.Return(), 2);
        QCOMPARE(m_log, QStringList({"Cancel"}));
    }

    void everyAnswerItsResultAndEvent_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("yes") << int(QMessageBox::Yes) << 6 << QStringList({"Yes"});
        QTest::newRow("no") << int(QMessageBox::No) << 7 << QStringList({"No"});
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << 2 << QStringList({"Cancel"});
        QTest::newRow("abort") << int(QMessageBox::Abort) << 3 << QStringList({"Abort"});
        QTest::newRow("retry") << int(QMessageBox::Retry) << 4 << QStringList({"Retry"});
        QTest::newRow("ignore") << int(QMessageBox::Ignore) << 5 << QStringList({"Ignore"});
        QTest::newRow("all") << int(QMessageBox::SaveAll) << 8 << QStringList({"All"});
        QTest::newRow("no to all") << int(QMessageBox::NoToAll) << 9 << QStringList();
        QTest::newRow("yes to all") << int(QMessageBox::YesToAll) << 10 << QStringList();
        QTest::newRow("no button") << -1 << 0 << QStringList();
    }

    void everyAnswerItsResultAndEvent()
    {
        QFETCH(int, answer);
        QFETCH(int, result);
        QFETCH(QStringList, events);
        TAHMMsgBox box;
        logEvents(box);
        TAHMMsgBox::setExecHook([answer](QMessageBox &) { return answer; });
        QVERIFY(box.Execute());
        QCOMPARE(int(box.Return()), result);
        QCOMPARE(m_log, events);
    }

    void allButtonsWithTheirCaptions()
    {
        TAHMMsgBox box;
        box.SetMessageType(mtConfirmation);
        box.SetButtons({mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp});
        int asked = 0;
        TAHMMsgBox::setExecHook([&](QMessageBox &dialog) {
            ++asked;
            [&] {
                QCOMPARE(dialog.windowTitle(), QString("Confirm"));
                QCOMPARE(buttonCaptions(dialog), QStringList({"&Abort", "&All", "&Help", "&Ignore", "&No", "&Retry",
                                                              "&Yes", "Cancel", "N&o to All", "OK", "Y&es to All"}));
            }();
            // Help keeps the box open: the second time round the user answers.
            return int(asked == 1 ? QMessageBox::Help : QMessageBox::Retry);
        });
        box.Execute();
        QCOMPARE(asked, 2);
        QCOMPARE(box.Return(), 4);
    }

    void customTypeTakesTheApplicationTitle()
    {
        QApplication::setApplicationDisplayName("Tozelo 1.1");
        TAHMMsgBox box;
        QCOMPARE(box.Title(), QString("Information"));
        box.SetMessageType(mtCustom);
        QCOMPARE(box.Title(), QString("Tozelo 1.1"));
    }

    void positionsResetTogether()
    {
        TAHMMsgBox box;
        box.SetXPosition(100);
        QCOMPARE(box.YPosition(), -1);
        box.SetYPosition(50);
        QPoint shownAt;
        bool moved = true;
        TAHMMsgBox::setExecHook([&](QMessageBox &dialog) {
            shownAt = dialog.pos();
            moved = dialog.testAttribute(Qt::WA_Moved);
            return int(QMessageBox::Ok);
        });
        box.Execute();
        QVERIFY(moved);
        QCOMPARE(shownAt, QPoint(100, 50));
        box.SetXPosition(-1);
        QCOMPARE(box.YPosition(), -1);
        box.SetXPosition(100);
        box.Execute();
        QVERIFY(!moved);
        box.SetYPosition(-1);
        QCOMPARE(box.XPosition(), -1);
    }

    // In the middle of the screen, with a close box and nothing more, whatever window is active:
    // here one in a corner that draws its own frame, as the main window does.
    void centredOnTheScreenWithOnlyACloseBox()
    {
        QWidget corner(nullptr, Qt::FramelessWindowHint);
        corner.setGeometry(10, 10, 200, 100);
        corner.show();
        QVERIFY(QTest::qWaitForWindowActive(&corner));
        TAHMMsgBox box;
        box.SetCaption({"Fast Tozelo", "aun no disponible !"});
        bool centred = false;
        Qt::WindowFlags flags;
        QTimer::singleShot(0, [&] {
            auto *shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(shown && QTest::qWaitForWindowExposed(shown));
            centred = WindowChecks::centredOnScreen(shown);
            flags = shown->windowFlags();
            shown->button(QMessageBox::Ok)->click();
        });
        box.Execute();
        QCOMPARE(box.Return(), 1);
        QVERIFY(centred);
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint));
    }
};

TOZELO_TEST_MAIN(TestTAHMMsgBox)
#include "tst_TAHMMsgBox.moc"
