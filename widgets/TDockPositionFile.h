#pragma once
#include <QRect>
#include <QString>

// Where a dock bar floats and where it is docked, kept in an INI file in a section named after
// the bar. Numbers may be written in decimal or as 0x-prefixed hexadecimal.
class TDockPositionFile {
public:
    struct Position {
        QRect floatRect;
        int dock = 0;
    };

    explicit TDockPositionFile(const QString &fileName) : m_fileName(fileName) {}

    // The program's name with ".ini", in the user's configuration folder.
    static QString defaultFileName();

    // What the file lacks or cannot be read as a number stays as in current. The floating window
    // is kept on the screen.
    Position read(const QString &section, const Position &current) const;
    void write(const QString &section, const Position &position) const;

private:
    QString m_fileName;
};
