#include "Forms.h"

#include "Unit1.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit4.h"
#include "dialogs/Unit5.h"
#include "platform/Privileges.h"
#include "sweep/Sweep.h"
#include "ui/ExceptionReport.h"

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
// Ping1, Ping2 and Ping3 each keep their echo session for the whole run; a fast sweep takes a raw
// socket for each of its senders, which holds all their identifiers, and gives them back at its end.
constexpr int PingComponents = 3;

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

// The raw sockets are opened and every capability given up before the application object exists:
// it loads Qt's plugins, from paths that whoever starts the program may choose.
int runTozelo(int argc, char *argv[], const std::function<void()> &started)
{
    try {
        Privileges::reserveRawSocketsAndDrop(PingComponents + int(Sweep::mostSenders()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s\n", ApplicationTitle, e.what());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    registerFontSubstitutes();
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
