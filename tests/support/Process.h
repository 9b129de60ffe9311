#pragma once

// Runs another program to its end, as the tests of scripts, tools and the installed files do.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

struct TRun {
    bool Finished = false; // false: it did not start, or did not end in time and was killed
    int ExitCode = -1;     // -1 when it did not end normally
    QString Out;
    QString Err;
};

// `during` runs once the program has started, for example to talk to it or interrupt it. A
// program that does not end within finishMs is killed: a hang shows as a failure of the test
// rather than as its timeout.
inline TRun RunProgram(const QString& program, const QStringList& args,
                       const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                       const std::function<void(QProcess&)>& during = {}, int finishMs = 180000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    TRun run;
    if (!p.waitForStarted(10000))
        return run;
    if (during)
        during(p);
    run.Finished = p.waitForFinished(finishMs);
    if (!run.Finished) {
        p.kill();
        p.waitForFinished(10000);
    }
    run.ExitCode = run.Finished && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(p.readAllStandardError());
    return run;
}
