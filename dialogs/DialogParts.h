#pragma once
#include "UpDown.h"
#include "main/ExceptionReport.h"
#include "widgets/Events.h"
#include "widgets/FloatEdit.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QString>
#include <functional>

class QGridLayout;
class QLabel;
class QWidget;
class TForm1;

// Pieces that the property dialogs' designs share.
namespace DialogParts {

TFloatEdit *newField(QWidget *parent, const char *name, const QString &text, int maxLength);
QLabel *newLabel(QWidget *parent, const char *name, const QString &text);
// A field's text applied to target, then echoed as typed (0500 as such) in a status panel of form;
// an empty text applies nothing.
void applyEchoed(TForm1 &form, const TFloatEdit *field, const std::function<void(int)> &target, int panel,
                 const QString &prefix);
// One line of a settings grid: heading, field, arrows and the unit (which may be null).
void addFieldRow(QGridLayout *grid, int row, QLabel *heading, TFloatEdit *field, TUpDown *arrows, QLabel *unit);

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
QPushButton *newButton(Form *form, QWidget *parent, const char *name, const QString &caption,
                       void (Form::*handler)())
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(caption);
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
