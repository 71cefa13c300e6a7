#include "DialogParts.h"

#include "main/Unit1.h"
#include "ui/IntegerText.h"
#include "widgets/FloatEdit.h"

#include <QGridLayout>
#include <QLabel>

namespace DialogParts {

QFont designFont()
{
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    return font;
}

void tighten(QGridLayout *grid)
{
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(2);
}

QLabel *newLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

void newField(QWidget *parent, QLabel *heading, const FieldDesign &design, TFloatEdit *&field, TUpDown *&arrows)
{
    field = new TFloatEdit(parent);
    field->setObjectName(design.name);
    field->SetMaxLength(design.maxLength);
    field->SetText(design.text);
    field->setAccessibleName(heading->text());
    // Room for four digits, the most the arrows give.
    field->setFixedWidth(field->fontMetrics().horizontalAdvance("0000") + 10);
    arrows = new TUpDown(field, design.range, parent);
    arrows->setObjectName(design.arrowsName);
}

void addFieldRow(QGridLayout *grid, int row, QLabel *heading, const FieldDesign &design, TFloatEdit *&field,
                 TUpDown *&arrows, QLabel *unit)
{
    newField(grid->parentWidget(), heading, design, field, arrows);
    heading->setBuddy(field);
    grid->addWidget(heading, row, 0);
    grid->addWidget(field, row, 1);
    grid->addWidget(arrows, row, 2);
    if (unit)
        grid->addWidget(unit, row, 3);
}

void echo(TForm1 &form, Echo panel, const QString &text)
{
    static const char *const headings[] = {"", "Paket : ", "Delay : ", "TTL : ", "Timer: "};
    form.setStatusPanel(int(panel), headings[int(panel)] + text);
}

void applyEchoed(TForm1 &form, const TFloatEdit *field, const std::function<void(int)> &target, Echo panel)
{
    if (applyInteger(field->Text(), target))
        echo(form, panel, field->Text());
}

} // namespace DialogParts
