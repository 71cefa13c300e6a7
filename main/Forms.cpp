#include "Forms.h"

#include "Unit1.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit4.h"
#include "dialogs/Unit5.h"
#include "platform/Privileges.h"
#include "ui/ExceptionReport.h"
#include "ui/QtSpanish.h"

#include <QApplication>
#include <QFont>
#include <QTimer>
#include <cstdio>
#include <exception>

TForm1 *Form1 = nullptr;
TForm2 *Form2 = nullptr;
TForm3 *Form3 = nullptr;
TForm4 *Form4 = nullptr;
TForm5 *Form5 = nullptr;

namespace {
// The designs' fonts, mapped to the installed faces with the same metrics.
void registerFontSubstitutes()
{
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont::insertSubstitution("Arial", "Liberation Sans");
    QFont::insertSubstitution("Times New Roman", "Liberation Serif");
    QFont::insertSubstitution("Bookman Old Style", "URW Bookman");
}
} // namespace

void createForms()
{
    try {
        Form1 = new TForm1;
        // The dialogs belong to the main window, so that they never keep the program alive alone.
        Form2 = new TForm2(Form1);
        Form3 = new TForm3(Form1);
        Form4 = new TForm4(Form1);
        Form5 = new TForm5(Form1);
    } catch (...) {
        destroyForms();
        throw;
    }
}

void destroyForms()
{
    delete Form5;
    Form5 = nullptr;
    delete Form4;
    Form4 = nullptr;
    delete Form3;
    Form3 = nullptr;
    delete Form2;
    Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
}

// Every capability is given up before the application object exists: it loads Qt's plugins, from
// paths that whoever starts the program may choose. Ping1, Ping2, Ping3 and the fast sweep's senders
// have the privileged helper hold their raw sockets where they need them.
int runTozelo(int argc, char *argv[], const std::function<void()> &started)
{
    try {
        Privileges::dropEveryCapability(Privileges::Starts::Helper);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", ApplicationTitle, e.what());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    registerFontSubstitutes();
    if (!QtSpanish::install())
        std::fprintf(stderr, "%s: %s/qtbase_es.qm is missing: the standard dialogs speak English\n", ApplicationTitle,
                     qPrintable(QtSpanish::translationsPath()));
    try {
        createForms();
    } catch (const std::exception &e) {
        showStopMessage(nullptr, QString::fromUtf8(e.what()));
        return 1;
    }
    Form1->show();
    if (started)
        QTimer::singleShot(0, Form1, started);
    const int status = QApplication::exec();
    destroyForms();
    return status;
}
