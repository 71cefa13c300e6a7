#include "TestMain.h"
#include "widgets/FloatEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
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
        m_edit->SetMaxLength(0);
        QCOMPARE(m_edit->MaxLength(), 0);
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

    void changeAndKeyUpEvents()
    {
        int changes = 0;
        QList<int> released;
        m_edit->OnChange = [&](QObject *) { ++changes; };
        m_edit->OnKeyUp = [&](QObject *, int &key, Qt::KeyboardModifiers) { released << key; };
        typeText("5");
        m_edit->SetText("5");
        QCOMPARE(changes, 1);
        m_edit->SetText("77");
        QCOMPARE(changes, 2);
        QCOMPARE(released, QList<int>({Qt::Key_5}));
    }

    void enterStillReachesTheDefaultButton()
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
    }
};

TOZELO_TEST_MAIN(TestTFloatEdit)
#include "tst_TFloatEdit.moc"
