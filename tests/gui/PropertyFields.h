#pragma once
#include "gui/WindowSeams.h"
#include "main/Unit1.h"
#include "ui/UpDown.h"
#include "widgets/FloatEdit.h"

#include <QToolButton>
#include <QtTest>
#include <functional>

// A numeric field of a dialog, the setting it writes and the status panel that echoes it (-1: none).
struct PropertyField {
    TFloatEdit *edit;
    TUpDown *arrows;
    std::function<int()> value;
    TUpDown::Range range;
    int panel = -1;
    QString prefix;
};

// Applied at every keystroke, the panel echoing the text as typed; an empty text changes nothing,
// and neither does one that is no whole number, which is reported.
inline void checkTyping(const PropertyField &field, const TForm1 &form, WindowSeams &seams)
{
    const auto panel = [&] { return field.panel < 0 ? QString() : form.statusPanel(field.panel); };
    const int before = field.value();
    const QString panelBefore = panel();
    field.edit->clear();
    QCOMPARE(field.value(), before);
    QCOMPARE(panel(), panelBefore);

    const QString typed = field.edit->MaxLength() == 3 ? "07" : "0300";
    for (int i = 1; i <= typed.size(); ++i) {
        QTest::keyClick(field.edit, typed[i - 1].toLatin1());
        QCOMPARE(field.value(), typed.left(i).toInt());
        if (field.panel >= 0)
            QCOMPARE(panel(), field.prefix + typed.left(i));
    }
    seams.clear();
    QTest::keyClick(field.edit, '.');
    QCOMPARE(seams.reports, QStringList{"'" + typed + ".' is not a valid integer value"});
    QCOMPARE(field.value(), typed.toInt());
    if (field.panel >= 0)
        QCOMPARE(panel(), field.prefix + typed);
    seams.clear();
}

// The arrows' bounds and increment; a step starts from the text shown, also beyond the bounds, and
// a step that stays at a bound applies the field again.
inline void checkArrows(const PropertyField &field, TForm1 &form)
{
    const TUpDown::Range &range = field.arrows->range();
    QCOMPARE(field.arrows->Associate(), field.edit);
    QCOMPARE(QList<int>({range.Min, range.Max, range.Increment, range.Position}),
             QList<int>({field.range.Min, field.range.Max, field.range.Increment, field.range.Position}));

    const int shown = (range.Min + range.Max) / 2 + 3;
    field.edit->SetText(QString::number(shown));
    QTest::mouseClick(field.arrows->upButton(), Qt::LeftButton);
    QCOMPARE(field.edit->Text(), QString::number(shown + range.Increment));
    QCOMPARE(field.value(), shown + range.Increment);

    field.edit->SetText(QString::number(range.Max));
    if (field.panel >= 0)
        form.setStatusPanel(field.panel, "");
    QTest::mouseClick(field.arrows->upButton(), Qt::LeftButton);
    QCOMPARE(field.edit->Text(), QString::number(range.Max));
    if (field.panel >= 0)
        QCOMPARE(form.statusPanel(field.panel), field.prefix + QString::number(range.Max));

    field.edit->SetText("0");
    QCOMPARE(field.value(), 0);
    QTest::keyClick(field.edit, Qt::Key_Down);
    QCOMPARE(field.edit->Text(), QString::number(range.Min));
    const QString beyond = field.edit->MaxLength() == 3 ? "300" : "9000";
    field.edit->SetText(beyond);
    QCOMPARE(field.value(), beyond.toInt());
    QTest::mouseClick(field.arrows->downButton(), Qt::LeftButton);
    QCOMPARE(field.edit->Text(), QString::number(range.Max - range.Increment));
}

// Every field typed into and stepped; a failure names the field.
inline void checkFields(const QList<PropertyField> &fields, TForm1 &form, WindowSeams &seams)
{
    for (const PropertyField &field : fields) {
        checkTyping(field, form, seams);
        checkArrows(field, form);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable("field " + field.edit->objectName()));
    }
}
