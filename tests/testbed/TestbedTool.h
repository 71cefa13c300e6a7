#pragma once
#include "TestbedNamespaces.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <unistd.h>

// A tool of the tests (tests/tools/, found through TOZELO_TOOLS) run in one of the testbed's
// namespaces: an echo responder of a test's own in the delay namespace, for hosts of its own, or a
// forger in the router's. It leaves when this object goes, however the test ends, since its standard
// input is this end of a pipe.
class TestbedTool {
public:
    // ROLE: the namespace (TestbedNamespaces::nameOf); ARGS: the tool's options beyond its lifeline,
    // such as the responder's --network and --delay.
    TestbedTool(const char *role, const QString &tool, const QStringList &args)
    {
        const QString ready = QDir::temp().filePath(QString("tozelo-%1.%2.%3").arg(tool).arg(getpid()).arg(++s_count));
        QFile::remove(ready);
        m_process.start(TestbedNamespaces::tool("ip"),
                        QStringList{"netns", "exec", TestbedNamespaces::nameOf(role),
                                    qEnvironmentVariable("TOZELO_TOOLS") + "/" + tool, "--lifeline", "--lifetime",
                                    "120", "--ready", ready} +
                            args);
        // A forger is ready only once it has sprayed its first round: on a busy machine, that can take
        // many seconds.
        bool running = m_process.waitForStarted(30000);
        for (int tries = 0; running && tries < 600 && !QFile::exists(ready); ++tries)
            running = !m_process.waitForFinished(100);
        m_ready = running && QFile::remove(ready);
    }

    ~TestbedTool()
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
