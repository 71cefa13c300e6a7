#pragma once
#include "echo/EchoTerms.h"
#include "ui/ExceptionReport.h"
#include "ui/UpDown.h"
#include "widgets/Events.h"
#include "widgets/FloatEdit.h"

#include <QAbstractButton>
#include <QFont>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <functional>

class QGridLayout;
class QLabel;
class QWidget;
class TForm1;

// Pieces that the property dialogs' designs share.
namespace DialogParts {

// The echo settings the program starts with, as a field shows them.
inline const QString DefaultSize = QString::number(EchoTerms::DefaultSize);
inline const QString DefaultTTL = QString::number(EchoTerms::DefaultTTL);
inline const QString DefaultTimeout = QString::number(EchoTerms::DefaultTimeoutMs);

// The font of the designs, which their sizes are made for, whatever the desktop's font.
QFont designFont();
// The pictures on the dialogs' buttons, small enough to leave the captions room in the designs.
constexpr QSize GlyphSize(14, 14);
// Small margins and spacing for a grid in a group box of the design's size.
void tighten(QGridLayout *grid);

// A numeric field as designed: its name and first text, its longest text (0: any length), and the
// name and range of its arrows.
struct FieldDesign {
    const char *name;
    QString text;
    int maxLength;
    const char *arrowsName;
    TUpDown::Range range;
};

// The main window's status panels that echo the settings as typed, by number.
enum class Echo { Size = 1, Delay = 2, TTL = 3, Timer = 4 };

QLabel *newLabel(QWidget *parent, const char *name, const QString &text);
// A field and its arrows in parent; heading names the field for assistive tools.
void newField(QWidget *parent, QLabel *heading, const FieldDesign &design, TFloatEdit *&field, TUpDown *&arrows);
// One line of a settings grid: heading, a new field with its arrows, and the unit (which may be null).
void addFieldRow(QGridLayout *grid, int row, QLabel *heading, const FieldDesign &design, TFloatEdit *&field,
                 TUpDown *&arrows, QLabel *unit);
// Shows text in a status panel of form, after the panel's heading ("Delay : ").
void echo(TForm1 &form, Echo panel, const QString &text);
// A field's text applied to target, then echoed as typed (0500 as such); an empty text applies nothing.
void applyEchoed(TForm1 &form, const TFloatEdit *field, const std::function<void(int)> &target, Echo panel);

// Binds a notification to a handler of form that runs through the exception report.
template <typename Form> void bindEvent(Form *form, TNotifyEvent &event, void (Form::*handler)())
{
    event = [form, handler](QObject *) { reportExceptions(form, [form, handler] { (form->*handler)(); }); };
}

template <typename Form> void bindClick(Form *form, QAbstractButton *button, void (Form::*handler)())
{
    QObject::connect(button, &QAbstractButton::clicked, form,
                     [form, handler] { reportExceptions(form, [form, handler] { (form->*handler)(); }); });
}

// A button of a dialog: Enter never presses it unless it has the focus.
template <typename Form>
QPushButton *newButton(Form *form, QWidget *parent, const char *name, const QString &caption, void (Form::*handler)())
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    bindClick(form, button, handler);
    return button;
}

// A field applied at every change of its text, and again after every arrow step.
template <typename Form>
void bindField(Form *form, TFloatEdit *field, void (Form::*change)(), TUpDown *arrows, void (Form::*click)())
{
    bindEvent(form, field->OnChange, change);
    arrows->OnClick = [form, click](QObject *, TUpDown::TUDBtnType) {
        reportExceptions(form, [form, click] { (form->*click)(); });
    };
}

} // namespace DialogParts
