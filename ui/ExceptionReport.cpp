#include "ExceptionReport.h"

#include "TestSeams.h"

#include <QMessageBox>

int execMessageBox(QMessageBox &box)
{
    const auto &answer = TestSeams::instance().messageBox;
    return answer ? answer(box) : box.exec();
}

void showStopMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, text, QMessageBox::Ok, parent);
    execMessageBox(box);
}
