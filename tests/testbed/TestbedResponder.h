#pragma once
#include "TestbedNamespaces.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <unistd.h>

// An echo responder of a test's own in the testbed's delay namespace (tests/tools/echo_responder,
// found through TOZELO_TOOLS), for hosts of its own: it leaves when this object goes, however the
// test ends, since its standard input is this end of a pipe.
class TestbedResponder {
public:
    // ARGS: the responder's options beyond its lifeline, such as --network and --delay.
    explicit TestbedResponder(const QStringList &args)
    {
        const QString ready = QDir::temp().filePath(QString("tozelo-responder.%1.%2").arg(getpid()).arg(++s_count));
        QFile::remove(ready);
        m_process.start(TestbedNamespaces::tool("ip"),
                        QStringList{"netns", "exec", TestbedNamespaces::nameOf("d"),
                                    qEnvironmentVariable("TOZELO_TOOLS") + "/echo_responder", "--lifeline",
                                    "--lifetime", "300", "--ready", ready} +
                            args);
        bool running = m_process.waitForStarted(5000);
        for (int tries = 0; running && tries < 50 && !QFile::exists(ready); ++tries)
            running = !m_process.waitForFinished(100);
        m_ready = running && QFile::remove(ready);
    }

    ~TestbedResponder()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }

    bool ready() const { return m_ready; }

private:
    static inline int s_count = 0;
    QProcess m_process;
    bool m_ready = false;
};
