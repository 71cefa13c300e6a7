// Writes the program's icon, exactly as the window draws it, as PNG files for the desktop's icon
// theme: render_icon DIR SIZE... makes DIR/SIZExSIZE/apps/tozelo.png for every size given.
#include "ui/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

namespace {
bool writeIcon(const QIcon &icon, const QString &root, int size)
{
    // A size the icon does not hold would come out scaled, not drawn for that size.
    if (!icon.availableSizes().contains(QSize(size, size))) {
        std::fprintf(stderr, "render_icon: the icon has no %d pixel picture\n", size);
        return false;
    }
    const QString folder = QString("%1/%2x%2/apps").arg(root).arg(size);
    const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    if (!QDir().mkpath(folder) || image.size() != QSize(size, size) || !image.save(folder + "/tozelo.png")) {
        std::fprintf(stderr, "render_icon: cannot write %s/tozelo.png\n", qPrintable(folder));
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    // A build step has no display of its own.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: render_icon DIR SIZE...\n");
        return 2;
    }
    const QIcon icon = Artwork::computerIcon();
    for (int i = 2; i < argc; ++i) {
        if (!writeIcon(icon, QString::fromLocal8Bit(argv[1]), QByteArray(argv[i]).toInt()))
            return 1;
    }
    return 0;
}
