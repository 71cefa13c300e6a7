#pragma once

class QWidget;

namespace DialogColours {
// Gives control the button colours of the dialogs, whatever page it stands on. The style draws an
// up-down control's arrows and a scroll bar's in the button text colour on the button colour, which
// the white on black pages make the same.
void wear(QWidget *control);
} // namespace DialogColours
