#include "TestMain.h"
#include "widgets/FloatEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QInputMethodEvent>
#include <QPushButton>
#include <QtTest>

// The numeric field's character filter, typed through real key events, with either decimal
// separator; and what the filter leaves alone.
class TestTFloatEdit : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> m_window;
    TFloatEdit *m_edit = nullptr;

    void typeText(const QString &text) { QTest::keyClicks(m_edit, text); }

    // Text composed through an input method reaches the field as one commit, not as key presses.
    void commitText(const QString &text)
    {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(m_edit, &event);
    }

private slots:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_edit = new TFloatEdit(m_window.get());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_edit->setFocus();
        TFloatEdit::setDecimalSeparator('.');
    }

    void cleanup() { m_window.reset(); }

    void digitsAndOnePointOnly()
    {
        typeText("1a2 -+3.4.5e");
        QCOMPARE(m_edit->Text(), QString("123.45"));
    }

    void secondPointIgnoredWhateverIsSelected()
    {
        typeText("..");
        QCOMPARE(m_edit->Text(), QString("."));
        m_edit->SetText("12.5");
        m_edit->selectAll();
        typeText(".");
        QCOMPARE(m_edit->Text(), QString("12.5"));
    }

    void inputMethodTextPassesTheSameFilter()
    {
        QList<QChar> seen;
        m_edit->OnKeyPress = [&](QObject *, QChar &key) { seen << key; };
        typeText("12");
        seen.clear();
        commitText("3..4");
        QCOMPARE(m_edit->Text(), QString("123.4"));
        QCOMPARE(seen, QList<QChar>({'3', '.', QChar(), '4'}));
        commitText("5.a-6");
        QCOMPARE(m_edit->Text(), QString("123.456"));
        m_edit->selectAll();
        commitText(".7");
        QCOMPARE(m_edit->Text(), QString("7"));
    }

    void commaLocaleTakesCommaOnce()
    {
        TFloatEdit::setDecimalSeparator(',');
        typeText("1.2,3,4.");
        QCOMPARE(m_edit->Text(), QString("12,34"));
    }

    void editingKeysWorkAsUsual()
    {
        typeText("1234");
        QTest::keyClick(m_edit, Qt::Key_Backspace);
        QTest::keyClick(m_edit, Qt::Key_Home);
        QTest::keyClick(m_edit, Qt::Key_Delete);
        QTest::keyClick(m_edit, Qt::Key_End);
        QTest::keyClick(m_edit, Qt::Key_Left);
        typeText("9");
        QCOMPARE(m_edit->Text(), QString("293"));
    }

    void clipboardAndUndoShortcutsDoNothing()
    {
        QApplication::clipboard()->setText("42");
        typeText("12");
        QTest::keyClick(m_edit, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(m_edit, Qt::Key_Z, Qt::ControlModifier);
        m_edit->selectAll();
        QTest::keyClick(m_edit, Qt::Key_X, Qt::ControlModifier);
        QTest::keyClick(m_edit, Qt::Key_Backspace, Qt::ControlModifier);
        QCOMPARE(m_edit->Text(), QString("12"));
        m_edit->paste();
        QCOMPARE(m_edit->Text(), QString("42"));
    }

    void lengthLimitStillAllowsBackspace()
    {
        m_edit->SetMaxLength(3);
        QCOMPARE(m_edit->MaxLength(), 3);
        typeText("2555");
        QCOMPARE(m_edit->Text(), QString("255"));
        QTest::keyClick(m_edit, Qt::Key_Backspace);
        QCOMPARE(m_edit->Text(), QString("25"));
    }

    // 0 lifts the limit: it does not forbid typing.
    void lengthZeroMeansNoLimit()
    {
        m_edit->SetMaxLength(3);
        m_edit->SetMaxLength(0);
        QCOMPARE(m_edit->MaxLength(), 0);
        typeText("1234567890123");
        QCOMPARE(m_edit->Text(), QString("1234567890123"));
    }

    void keyPressSeesTheFilteredCharacter()
    {
        QList<QChar> seen;
        m_edit->OnKeyPress = [&](QObject *sender, QChar &key) {
            QCOMPARE(sender, m_edit);
            seen << key;
            if (key == '0')
                key = '1';
        };
        typeText("x0");
        QTest::keyClick(m_edit, Qt::Key_Backspace);
        QTest::keyClick(m_edit, Qt::Key_Left);
        QCOMPARE(seen, QList<QChar>({QChar(), '0', QChar(8)}));
        typeText("0");
        QCOMPARE(m_edit->Text(), QString("1"));
    }

    // A release tells that it typed only when its own press put a character into the text: not a key
    // that moves the cursor or deletes, nor one that the filter or the length refused, nor a release
    // whose press went to another control, nor a release that ends another key's press.
    void changeAndKeyUpEvents()
    {
        int changes = 0;
        QList<int> released;
        QList<bool> typed;
        m_edit->OnChange = [&](QObject *) { ++changes; };
        m_edit->OnKeyUp = [&](QObject *, int &key, Qt::KeyboardModifiers) {
            released << key;
            typed << m_edit->ReleaseTyped();
        };
        typeText("5");
        m_edit->SetText("5");
        QCOMPARE(changes, 1);
        m_edit->SetText("77");
        QCOMPARE(changes, 2);
        QCOMPARE(released, QList<int>({Qt::Key_5}));

        m_edit->SetMaxLength(3);
        for (Qt::Key key : {Qt::Key_End, Qt::Key_Left, Qt::Key_A, Qt::Key_Backspace, Qt::Key_1, Qt::Key_1, Qt::Key_2})
            QTest::keyClick(m_edit, key);
        QCOMPARE(m_edit->Text(), QString("117"));
        QTest::keyRelease(m_edit, Qt::Key_Tab);
        m_edit->clear();
        QTest::keyPress(m_edit, Qt::Key_3);
        QTest::keyPress(m_edit, Qt::Key_4);
        QTest::keyRelease(m_edit, Qt::Key_3);
        QTest::keyRelease(m_edit, Qt::Key_4);
        QCOMPARE(typed, QList<bool>({true, false, false, false, false, true, true, false, false, false, true}));
    }

    void enterAndEscapeStillReachTheDialog()
    {
        QDialog dialog;
        auto *edit = new TFloatEdit(&dialog);
        auto *ok = new QPushButton("OK", &dialog);
        ok->setDefault(true);
        int clicks = 0;
        connect(ok, &QPushButton::clicked, this, [&] { ++clicks; });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(clicks, 1);
        QCOMPARE(edit->Text(), QString());
        int rejected = 0;
        connect(&dialog, &QDialog::rejected, this, [&] { ++rejected; });
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(rejected, 1);
    }
};

TOZELO_TEST_MAIN(TestTFloatEdit)
#include "tst_TFloatEdit.moc"
