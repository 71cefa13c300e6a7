#pragma once
#include <QString>
#include <exception>
#include <utility>

class QMessageBox;
class QWidget;

constexpr const char *ApplicationTitle = "Tozelo 1.1";

// Shows a modal message box; tests answer it through TestSeams. Returns the button pressed.
int execMessageBox(QMessageBox &box);

// The stop-icon box titled with the application title.
void showStopMessage(QWidget *parent, const QString &text);

// Every handler runs through here: an exception skips the rest of the handler, is shown, and the
// program carries on. Nothing may unwind through the toolkit's event dispatch.
template <typename Handler> void reportExceptions(QWidget *parent, Handler &&handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &e) {
        showStopMessage(parent, QString::fromUtf8(e.what()));
    }
}
