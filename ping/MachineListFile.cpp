#include "MachineListFile.h"

#include <QFile>
#include <QSaveFile>
#include <stdexcept>

namespace {
const QByteArray LineEnd = QByteArrayLiteral("\r\n");

[[noreturn]] void fail(const QString &text) { throw std::runtime_error(text.toStdString()); }
} // namespace

MachineListFile MachineListFile::fromBytes(const QByteArray &bytes)
{
    MachineListFile list;
    const char *data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        list.append(QString::fromLatin1(data + start, i - start));
        if (c == '\r' && i + 1 < size && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size) {
        list.append(QString::fromLatin1(data + start, size - start));
        list.m_endsWithLineEnd = false;
    }
    return list;
}

MachineListFile MachineListFile::read(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        fail("Cannot open file " + fileName);
    // One byte more than allowed tells a file at the bound from one beyond it, also where the size
    // is not known before reading (a pipe, a device).
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        fail("Cannot open file " + fileName);
    if (bytes.size() > MaxBytes)
        fail("Text exceeds memo capacity");
    return fromBytes(bytes);
}

QByteArray MachineListFile::toBytes() const
{
    QByteArray bytes;
    qsizetype size = 0;
    for (const QString &line : m_lines)
        size += line.size() + LineEnd.size();
    bytes.reserve(size);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (i > 0)
            bytes += LineEnd;
        bytes += m_lines.at(i).toLatin1();
    }
    if (!m_lines.isEmpty() && m_endsWithLineEnd)
        bytes += LineEnd;
    return bytes;
}

void MachineListFile::write(const QString &fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        fail("Cannot create file " + fileName);
    const QByteArray bytes = toBytes();
    // commit() alone misses an error of the last buffered write (a full disk, a size limit).
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit())
        fail("Cannot create file " + fileName);
}

bool MachineListFile::addLine(const QString &line)
{
    if (contains(line))
        return false;
    // An empty list starts a text whose lines all end; a text loaded without a last line end keeps
    // ending without one, the new line going after a CR LF.
    if (m_lines.isEmpty())
        m_endsWithLineEnd = true;
    append(line);
    return true;
}

void MachineListFile::clear()
{
    m_lines.clear();
    m_present.clear();
    m_endsWithLineEnd = true;
}

void MachineListFile::append(const QString &line)
{
    m_lines.append(line);
    m_present.insert(line);
}
