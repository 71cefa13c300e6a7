#include "PageLook.h"

#include "ui/Artwork.h"
#include "widgets/Backgnd.h"
#include "widgets/BackgndObj.h"
#include "widgets/Gradient.h"
#include "widgets/TransBtn.h"

#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QStackedWidget>
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
