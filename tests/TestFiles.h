#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest>

// A file's bytes, or "<missing>" where it cannot be read, so that a comparison shows which.
inline QByteArray contentsOf(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}
