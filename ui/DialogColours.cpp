#include "DialogColours.h"

#include <QApplication>
#include <QWidget>

namespace DialogColours {

void wear(QWidget *control)
{
    const QPalette dialog = QApplication::palette();
    QPalette colours = control->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const QPalette::ColorRole role :
             {QPalette::Window, QPalette::WindowText, QPalette::Button, QPalette::ButtonText, QPalette::Light,
              QPalette::Midlight, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
            colours.setColor(group, role, dialog.color(group, role));
    }
    control->setPalette(colours);
}

} // namespace DialogColours
