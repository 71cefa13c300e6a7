#pragma once
#include <QProcess>
#include <QStringList>

// tozelo-cli (TOZELO_CLI) run to its end as a script runs it: what it wrote, whole and as lines
// (empty ones left out), and its exit status; input, when given, is its standard input.
struct CliRun {
    bool ended = false; // by itself, within the time given
    int status = -1;    // valid when it ended
    QByteArray output;
    QByteArray errorOutput;
    QStringList out;
    QStringList err;

    static CliRun of(const QStringList &args, int timeoutMs = 60000, const QByteArray &input = {})
    {
        QProcess process;
        process.start(qEnvironmentVariable("TOZELO_CLI"), args);
        process.write(input);
        process.closeWriteChannel();
        CliRun run;
        run.ended = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
        if (run.ended) {
            run.status = process.exitCode();
        } else {
            process.kill();
            process.waitForFinished(5000);
        }
        run.output = process.readAllStandardOutput();
        run.errorOutput = process.readAllStandardError();
        run.out = linesOf(run.output);
        run.err = linesOf(run.errorOutput);
        return run;
    }

private:
    static QStringList linesOf(const QByteArray &bytes)
    {
        return QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts);
    }
};
