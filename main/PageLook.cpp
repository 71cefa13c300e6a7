#include "PageLook.h"

#include "ui/Artwork.h"
#include "widgets/Backgnd.h"
#include "widgets/BackgndObj.h"
#include "widgets/Gradient.h"
#include "widgets/TransBtn.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <algorithm>

namespace {
constexpr int GlyphSpacing = 8;
constexpr int CaptionPixels = 16;
constexpr int GlyphSize = 16;
constexpr int DesignedPageHeight = 157;
const char *const Grows = "growsWhenShown";
} // namespace

void describePageGradient(TBackground &background, int lineSize)
{
    TGradient *gradient = background.BackObj()->Gradient();
    gradient->SetGradientStyle(gsLine);
    gradient->SetColorCount(2);
    gradient->SetColor1(colorBlue);
    gradient->SetColor2(colorNavy);
    gradient->SetColor3(colorBlack);
    gradient->SetLineDirection(diVertical);
    gradient->SetLineSize(lineSize);
    background.BackObj()->SetBackStyle(bgGradient);
}

TBackground *newPageBackground(QWidget *page, const char *name, int lineSize)
{
    auto *background = new TBackground(page);
    background->setObjectName(name);
    describePageGradient(*background, lineSize);
    background->SetAlign(alClient);
    return background;
}

TTransparentButton *newPageButton(QWidget *page, const char *name, const QString &caption, QStyle::StandardPixmap icon,
                                  GlyphCells cells, QSize size)
{
    auto *button = new TTransparentButton(page);
    button->setObjectName(name);
    button->setAccessibleName(caption);
    QFont bookman("Bookman Old Style");
    bookman.setPixelSize(CaptionPixels);
    button->setFont(bookman);
    const int glyphCell = GlyphSize + 2;
    const int room = 3 * GlyphSpacing + glyphCell + QFontMetrics(bookman).horizontalAdvance(caption);
    button->setFixedSize(std::max(size.width(), room), size.height());
    QPalette white = button->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    button->setPalette(white);
    button->SetCaption(caption);
    const QIcon picture = QApplication::style()->standardIcon(icon);
    button->SetGlyph(cells == GlyphCells::withDisabled ? Artwork::glyphStrip(picture, GlyphSize)
                                                       : Artwork::glyph(picture, GlyphSize));
    button->SetTextAlign(ttaRight);
    button->SetSpacing(GlyphSpacing);
    return button;
}

void growWhenShown(QStackedWidget *pages, QWidget *page)
{
    page->setProperty(Grows, true);
    QObject::connect(pages, &QStackedWidget::currentChanged, page, [pages, page] {
        auto *column = static_cast<QBoxLayout *>(pages->parentWidget()->layout());
        QWidget *shown = pages->currentWidget();
        if (shown == page) {
            pages->setMinimumHeight(std::max(DesignedPageHeight, page->minimumSizeHint().height()));
            pages->setMaximumHeight(QWIDGETSIZE_MAX);
            column->setStretchFactor(pages, 3);
        } else if (!shown->property(Grows).toBool()) {
            pages->setFixedHeight(DesignedPageHeight);
            column->setStretchFactor(pages, 0);
        }
    });
}

QPalette typedText()
{
    QPalette palette;
    palette.setColor(QPalette::Text, Qt::red);
    palette.setColor(QPalette::Base, Qt::white);
    return palette;
}

QLabel *newPageCaption(QWidget *page, const char *name, const QString &text)
{
    auto *label = new QLabel(text, page);
    label->setObjectName(name);
    QPalette white;
    white.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(white);
    return label;
}

// The headers in the colours of a button, not the page's white on black.
void describePageTable(QTableView *table, const QPalette &palette)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(18);
    table->horizontalHeader()->setStretchLastSection(true);
    QPalette headed = palette;
    headed.setColor(QPalette::ButtonText, Qt::black);
    headed.setColor(QPalette::WindowText, Qt::black);
    table->setPalette(headed);
}

QFileDialog *newExportDialog(QWidget *owner, const char *name)
{
    auto *dialog = new QFileDialog(owner);
    dialog->setObjectName(name);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    return dialog;
}
