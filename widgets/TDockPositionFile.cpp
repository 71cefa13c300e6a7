#include "TDockPositionFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>

namespace {
// Decimal, or hexadecimal after "0x"; anything else gives fallback.
int numberOr(const QString &text, int fallback)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const int number =
        trimmed.startsWith("0x", Qt::CaseInsensitive) ? trimmed.mid(2).toInt(&ok, 16) : trimmed.toInt(&ok, 10);
    return ok ? number : fallback;
}
} // namespace

QString TDockPositionFile::defaultFileName()
{
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + '/' + program + ".ini";
}

TDockPositionFile::Position TDockPositionFile::read(const QString &section, const Position &current) const
{
    QSettings file(m_fileName, QSettings::IniFormat);
    file.beginGroup(section);
    const auto number = [&file](const char *key, int fallback) {
        return numberOr(file.value(key).toString(), fallback);
    };
    const QRect was = current.floatRect;
    Position position{QRect(number("FloatLeft", was.left()), number("FloatTop", was.top()),
                            number("FloatWidth", was.width()), number("FloatHeight", was.height())),
                      number("Dock", current.dock)};
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->geometry().size() - position.floatRect.size();
        position.floatRect.moveTo(std::max(0, std::min(position.floatRect.left(), room.width())),
                                  std::max(0, std::min(position.floatRect.top(), room.height())));
    }
    return position;
}

void TDockPositionFile::write(const QString &section, const Position &position) const
{
    QSettings file(m_fileName, QSettings::IniFormat);
    file.beginGroup(section);
    file.setValue("FloatLeft", position.floatRect.left());
    file.setValue("FloatTop", position.floatRect.top());
    file.setValue("FloatWidth", position.floatRect.width());
    file.setValue("FloatHeight", position.floatRect.height());
    file.setValue("Dock", position.dock);
    file.endGroup();
    file.sync();
}
