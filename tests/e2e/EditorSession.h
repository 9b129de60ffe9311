#pragma once

// The real editor in a private display session of its own, which one of the session helpers
// (scripts/xsession.sh, scripts/waylandsession.sh) starts, watches and ends: the helper reports
// on its output, a line each, how to reach the session once the editor's window is up and
// painted, and keeps the session until its input closes. What belongs to one display server
// (how to reach it, how input reaches the window, how a picture is taken) is left to XSession
// and WaylandSession.

#include "support/Process.h"

#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

class EditorSession {
public:
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    bool EditorRunning() {
        ReadReports();
        const qint64 pid = FReports.value("pid").toLongLong();
        return pid > 0 && !FReports.contains("exited") && ::kill(pid, 0) == 0;
    }

    // A program run against the session's display: its exit code and standard output.
    std::pair<int, QString> Tool(const QString& program, const QStringList& args) {
        const TRun run = RunClient(program, args);
        return {run.ExitCode, run.Out};
    }

    // Time for the window to take in what was done to it.
    static void Settle() { QThread::msleep(150); }

protected:
    EditorSession() = default;
    // Ends the editor and the display. After a failed check, the editor's output and the display
    // server's messages go to the test's output.
    ~EditorSession() {
        if (::testing::Test::HasFailure() && FHelper.state() == QProcess::Running)
            FHelper.write("report\n");
        const QString messages = Messages();
        if (!messages.isEmpty())
            std::cerr << messages.toStdString();
    }

    // Starts the helper `script` with its `options` and the editor in workDir, in the test's
    // environment with the variables of `extra` added, and waits for the painted window; false,
    // with the helper's account of what went wrong, when the window does not appear.
    bool Launch(const QString& script, const QStringList& options,
                const std::map<QString, QString>& extra, const QString& workDir, QString* reason) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "SWAYSOCK"})
            env.remove(name);
        for (const auto& [name, value] : extra)
            env.insert(name, value);
        FHelper.setProcessEnvironment(env);
        FHelper.setWorkingDirectory(workDir);
        // A loaded machine may take long to start the editor the first time.
        FHelper.start(VARNOTEL_SOURCE_DIR "/scripts/" + script,
                      QStringList{"--timeout", "120"} + options +
                          QStringList{"--serve", VARNOTEL_EXE});
        if (!FHelper.waitForStarted(10000)) {
            *reason = "the session helper did not start: " + FHelper.errorString();
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        while (!FReports.contains("window") && FHelper.state() == QProcess::Running &&
               clock.elapsed() < 150000) {
            FHelper.waitForReadyRead(1000);
            ReadReports();
        }
        if (!FReports.contains("window")) {
            if (FHelper.state() != QProcess::NotRunning) {
                FHelper.kill();
                FHelper.waitForFinished(10000);
            }
            *reason = "the session did not come up:\n" +
                      QString::fromLocal8Bit(FHelper.readAllStandardError());
            return false;
        }
        return true;
    }

    // What the helper reported under that name ("display", "socket", "window" ...), or nothing.
    QString Report(const QString& name) const { return FReports.value(name); }

    // What the helper said on its error output once the session ended: what went wrong, and
    // the editor's output if it ended by itself. Ends the session if it still runs.
    QString Messages() {
        if (FHelper.state() == QProcess::NotRunning)
            return FMessages;
        FHelper.closeWriteChannel();
        if (!FHelper.waitForFinished(30000)) {
            FHelper.terminate();
            if (!FHelper.waitForFinished(10000)) {
                FHelper.kill();
                FHelper.waitForFinished(10000);
            }
        }
        FMessages = QString::fromLocal8Bit(FHelper.readAllStandardError());
        return FMessages;
    }

    // The environment in which a program reaches the session's display.
    virtual QProcessEnvironment ClientEnvironment() const = 0;

    TRun RunClient(const QString& program, const QStringList& args) const {
        return RunProgram(program, args, ClientEnvironment(), {}, 20000);
    }

private:
    // The helper's reports, a line each: "NAME VALUE", and "exited STATUS" once the editor
    // ended by itself.
    void ReadReports() {
        while (FHelper.canReadLine() || FHelper.waitForReadyRead(0)) {
            if (!FHelper.canReadLine())
                continue;
            const QString line = QString::fromLocal8Bit(FHelper.readLine()).trimmed();
            FReports.insert(line.section(' ', 0, 0), line.section(' ', 1));
        }
    }

    QProcess FHelper;
    QMap<QString, QString> FReports;
    QString FMessages;
};
