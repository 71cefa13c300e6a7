#pragma once
#include <QPalette>
#include <QSize>
#include <QString>
#include <QStyle>

class QFileDialog;
class QLabel;
class QStackedWidget;
class QTableView;
class QWidget;
class TBackground;
class TTransparentButton;

// What the two pages of the main window share: a gradient from blue through navy to black behind
// all their controls, in vertical bands of lineSize pixels, and large flat buttons with a picture
// left of a white caption.
void describePageGradient(TBackground &background, int lineSize);
TBackground *newPageBackground(QWidget *page, const char *name, int lineSize);
// The picture is the style's icon; a button that has a look of its own while disabled takes the
// icon's disabled form as a second cell. A caption too long for the size widens the button rather
// than run into the picture.
enum class GlyphCells { normal, withDisabled };
constexpr QSize PageButtonSize(113, 37);
TTransparentButton *newPageButton(QWidget *page, const char *name, const QString &caption, QStyle::StandardPixmap icon,
                                  GlyphCells cells = GlyphCells::normal, QSize size = PageButtonSize);

// A page that takes room from the found machines while it shows; the pages that do not keep the
// designed height, whichever page was shown before them.
void growWhenShown(QStackedWidget *pages, QWidget *page);

// Typed fields: red on white, as the single ping page's host field.
QPalette typedText();
// White text on the page's colours.
QLabel *newPageCaption(QWidget *page, const char *name, const QString &text);
// A table of rows that are chosen, never edited: the arrows move through them, Tab goes on to the next
// control.
void describePageTable(QTableView *table, const QPalette &palette);
// The save dialog of a page's exports.
QFileDialog *newExportDialog(QWidget *owner, const char *name);
