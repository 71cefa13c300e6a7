#include "MachineListFile.h"

#include "echo/MachineListWriter.h"
#include "platform/FileDescriptor.h"
#include "platform/IpAddress.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray LineEnd = MachineListWriter::LineEnd;
const QByteArray Utf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");
const QByteArray Utf16LittleEndianMark = QByteArrayLiteral("\xFF\xFE");
const QByteArray Utf16BigEndianMark = QByteArrayLiteral("\xFE\xFF");

[[noreturn]] void fail(const QString &text)
{
    throw std::runtime_error(text.toStdString());
}

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void failOpen(const QString &fileName, const QString &reason)
{
    fail("Cannot open file " + fileName + ": " + reason);
}

[[noreturn]] void failCreate(const QString &fileName, const QString &reason)
{
    fail("Cannot create file " + fileName + ": " + reason);
}

// Up to limit bytes, read to the end however the file grows meanwhile; errno set when a read fails.
bool readUpTo(int fd, qint64 limit, QByteArray &bytes)
{
    char chunk[65536];
    while (bytes.size() < limit) {
        const ssize_t got = ::read(fd, chunk, size_t(std::min<qint64>(sizeof chunk, limit - bytes.size())));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    return true;
}

// Editors elsewhere mark their text: UTF-8's mark is dropped, UTF-16 is not 8-bit text at all.
QByteArray withoutByteOrderMark(const QByteArray &bytes, const QString &fileName)
{
    if (bytes.startsWith(Utf16LittleEndianMark) || bytes.startsWith(Utf16BigEndianMark))
        failOpen(fileName, "UTF-16 text, not 8-bit text");
    return bytes.startsWith(Utf8Mark) ? bytes.mid(Utf8Mark.size()) : bytes;
}

// The line of the byte at position, counted as fromBytes() counts them.
qsizetype lineOf(const QByteArray &text, qsizetype position)
{
    const QByteArray before = text.left(position);
    return 1 + before.count('\n') + before.count('\r') - before.count("\r\n");
}

// Text holds no NUL byte: a file that does is UTF-16 without its mark, or not text at all, and read
// as 8-bit text it would ping addresses no one wrote.
void refuseNul(const QByteArray &text, const QString &fileName)
{
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        failOpen(fileName, "a NUL byte on line " + QString::number(lineOf(text, nul)) + ", not text");
}

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
    // Opening a pipe for reading would wait for a writer: nothing waits, and only a regular file is read.
    FileDescriptor file(::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0)
        failOpen(fileName, reasonOf(errno));
    if (!S_ISREG(info.st_mode))
        failOpen(fileName, "not a regular file");
    if (info.st_size > MaxBytes)
        fail("Text exceeds memo capacity");
    // One byte more than allowed tells a file at the bound from one that grew beyond it.
    QByteArray bytes;
    bytes.reserve(info.st_size + 1);
    if (!readUpTo(file.get(), MaxBytes + 1, bytes))
        failOpen(fileName, reasonOf(errno));
    if (bytes.size() > MaxBytes)
        fail("Text exceeds memo capacity");
    const QByteArray text = withoutByteOrderMark(bytes, fileName);
    refuseNul(text, fileName);
    return fromBytes(text);
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
    const QString refusal = whyNotWritable(fileName);
    if (!refusal.isEmpty())
        failCreate(fileName, refusal);
    if (const int error =
            MachineListWriter::replace(QFile::encodeName(fileName).toStdString(), toBytes().toStdString()))
        failCreate(fileName, reasonOf(error));
}

QString MachineListFile::whyNotWritable(const QString &fileName)
{
    return QString::fromLocal8Bit(MachineListWriter::whyNotWritable(QFile::encodeName(fileName).toStdString()).c_str());
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

QString MachineListFile::keyOf(const QString &line)
{
    return QString::fromStdString(IpAddress::canonicalText(line.toStdString()));
}

void MachineListFile::append(const QString &line)
{
    m_lines.append(line);
    m_present.insert(keyOf(line));
}
