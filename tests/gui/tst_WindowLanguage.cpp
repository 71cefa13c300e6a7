// Qt's own texts in the window's Spanish: the buttons of the close question and of the file
// dialogs, whatever the user's locale.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "ui/QtSpanish.h"
#include "ui/TestSeams.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QtTest>

namespace {
QStringList buttonTexts(const QList<QAbstractButton *> &buttons)
{
    QStringList texts;
    for (const QAbstractButton *button : buttons)
        texts << button->text();
    texts.sort();
    return texts;
}
} // namespace

class tst_WindowLanguage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void closeQuestionAndFileDialogSpeakSpanish();

private:
    FakeNetwork m_network;
};

void tst_WindowLanguage::initTestCase()
{
    const QString translation = QtSpanish::translationsPath() + "/qtbase_es.qm";
    if (!QFile::exists(translation))
        QSKIP(qPrintable(translation + " is missing (Debian package qt6-translations-l10n)"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(QtSpanish::install());
    QApplication::setQuitOnLastWindowClosed(false);
    TestSeams::instance().splashDelayMs = 0;
}

// Yes, then the save dialog (cancelled): the question's buttons and the dialog's title, label and buttons are
// Qt's texts in Spanish.
void tst_WindowLanguage::closeQuestionAndFileDialogSpeakSpanish()
{
    TForm1 form;
    form.show();
    form.addico("10.0.0.7", 12);
    QStringList question;
    TestSeams &seams = TestSeams::instance();
    seams.messageBox = [&question](QMessageBox &box) {
        question = QStringList{box.windowTitle()} + buttonTexts(box.buttons());
        return int(QMessageBox::Yes);
    };
    QStringList dialog;
    seams.fileDialog = [&dialog](QFileDialog &shown) {
        dialog << shown.windowTitle() << shown.findChild<QLabel *>("fileNameLabel")->text();
        dialog += buttonTexts(shown.findChild<QDialogButtonBox *>("buttonBox")->buttons());
        return QString();
    };
    form.close();
    seams.messageBox = nullptr;
    seams.fileDialog = nullptr;
    QCOMPARE(question, QStringList({"Confirmar", "&No", "&Sí", "Cancelar"}));
    QCOMPARE(dialog, QStringList({"Guardar como", "&Nombre de fichero:", "&Guardar", "Cancelar"}));
}

TOZELO_TEST_MAIN(tst_WindowLanguage)
#include "tst_WindowLanguage.moc"
