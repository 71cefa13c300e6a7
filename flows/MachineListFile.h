#pragma once
#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

// The machine list as text: its lines, and whether the last one ends with CR LF, so that what was
// loaded is written back byte for byte. Lines are 8-bit text (Latin-1 keeps every byte as it came).
class MachineListFile {
public:
    // Large enough for every IPv4 address of a /8, small enough that a stray file cannot eat memory.
    static constexpr qint64 MaxBytes = 16 * 1024 * 1024;

    // CR LF, a lone CR and a lone LF each end one line.
    static MachineListFile fromBytes(const QByteArray &bytes);
    // The whole file, its UTF-8 byte-order mark skipped, or std::runtime_error "Cannot open file
    // NAME: REASON" (also for what is not a regular file, never waiting for a pipe's writer, for
    // UTF-16 text and for a NUL byte, the reason naming its line) or "Text exceeds memo capacity".
    static MachineListFile read(const QString &fileName);

    QByteArray toBytes() const;
    // Replaces the file as a whole through a temporary file in its folder, or throws
    // std::runtime_error "Cannot create file NAME: REASON" and leaves the file as it was.
    void write(const QString &fileName) const;
    // Why write(fileName) would be refused before anything is written, as MachineListWriter tells it.
    // Empty when nothing stands in the way.
    static QString whyNotWritable(const QString &fileName);

    // Adds line as the new last line unless an equal line is there (an IPv6 address in any of its
    // written forms); true when it was added.
    bool addLine(const QString &line);
    bool contains(const QString &line) const { return m_present.contains(keyOf(line)); }
    void clear();

    const QStringList &lines() const { return m_lines; }
    bool endsWithLineEnd() const { return m_endsWithLineEnd; }
    bool isEmpty() const { return m_lines.isEmpty(); }

private:
    static QString keyOf(const QString &line);
    void append(const QString &line);

    QStringList m_lines;
    QSet<QString> m_present;
    bool m_endsWithLineEnd = true;
};
