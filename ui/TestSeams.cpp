#include "TestSeams.h"

#include <QFileDialog>

TestSeams &TestSeams::instance()
{
    static TestSeams seams;
    return seams;
}

QString execFileDialog(QFileDialog &dialog)
{
    const auto &answer = TestSeams::instance().fileDialog;
    if (answer)
        return answer(dialog);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

const WallClock &windowClock()
{
    const WallClock *clock = TestSeams::instance().clock;
    return clock ? *clock : WallClock::system();
}
