#include "DialogParts.h"

#include "main/IntegerText.h"
#include "main/Unit1.h"
#include "widgets/FloatEdit.h"

#include <QGridLayout>
#include <QLabel>

namespace DialogParts {

TFloatEdit *newField(QWidget *parent, const char *name, const QString &text, int maxLength)
{
    auto *field = new TFloatEdit(parent);
    field->setObjectName(name);
    field->SetMaxLength(maxLength);
    field->SetText(text);
    return field;
}

QLabel *newLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

void applyEchoed(TForm1 &form, const TFloatEdit *field, const std::function<void(int)> &target, int panel,
                 const QString &prefix)
{
    if (applyInteger(field->Text(), target))
        form.setStatusPanel(panel, prefix + field->Text());
}

void addFieldRow(QGridLayout *grid, int row, QLabel *heading, TFloatEdit *field, TUpDown *arrows, QLabel *unit)
{
    field->setAccessibleName(heading->text());
    heading->setBuddy(field);
    grid->addWidget(heading, row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(arrows, row, 2);
    if (unit)
        grid->addWidget(unit, row, 3);
}

} // namespace DialogParts
