#pragma once

// Runs the real editor on a private X display and drives it with real X events through
// xdotool, as a person at the screen would. The display, the editor and their end belong to
// scripts/xsession.sh, the same helper that the run script's headless path uses.

#include "support/Process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

class XSession {
public:
    XSession() = default;
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;
    ~XSession() { Stop(); }

    // Starts a private X display and the editor in workDir, and waits for its painted window;
    // false, with the helper's account of what went wrong, when the window does not appear.
    // The editor's environment is the test's, with the variables of `extra` added; the
    // display's screen has the helper's size unless `screen` ("WxH") gives one.
    bool Start(const QString& workDir, QString* reason,
               const std::map<QString, QString>& extra = {}, const QString& screen = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        for (const auto& [name, value] : extra)
            env.insert(name, value);
        FHelper.setProcessEnvironment(env);
        FHelper.setWorkingDirectory(workDir);
        // A loaded machine may take long to start the editor the first time.
        QStringList args{"--timeout", "120"};
        if (!screen.isEmpty())
            args << "--screen" << screen;
        FHelper.start(VARNOTEL_SOURCE_DIR "/scripts/xsession.sh",
                      args << "--serve" << VARNOTEL_EXE);
        if (!FHelper.waitForStarted(10000)) {
            *reason = "the session helper did not start: " + FHelper.errorString();
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        while (FWindow.isEmpty() && FHelper.state() == QProcess::Running &&
               clock.elapsed() < 150000) {
            FHelper.waitForReadyRead(1000);
            ReadReports();
        }
        if (FWindow.isEmpty()) {
            if (FHelper.state() != QProcess::NotRunning) {
                FHelper.kill();
                FHelper.waitForFinished(10000);
            }
            *reason = "the editor's window did not appear:\n" +
                      QString::fromLocal8Bit(FHelper.readAllStandardError());
            return false;
        }
        return true;
    }

    // Ends the editor and the display: the helper ends both when its input closes.
    void Stop() {
        if (FHelper.state() == QProcess::NotRunning)
            return;
        FHelper.closeWriteChannel();
        if (!FHelper.waitForFinished(30000)) {
            FHelper.terminate();
            if (!FHelper.waitForFinished(10000)) {
                FHelper.kill();
                FHelper.waitForFinished(10000);
            }
        }
        const QByteArray messages = FHelper.readAllStandardError();
        if (!messages.isEmpty())
            std::cerr << messages.toStdString();
    }

    bool EditorRunning() {
        ReadReports();
        return FEditorPid > 0 && !FEditorExited && ::kill(FEditorPid, 0) == 0;
    }
    const QString& Window() const { return FWindow; }

    // The window's client area on the screen.
    QRect WindowGeometry() {
        const auto [code, out] = Xdotool({"getwindowgeometry", "--shell", FWindow});
        QMap<QString, int> values;
        for (const QString& line : out.split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                values[line.left(eq)] = line.mid(eq + 1).toInt();
        }
        return {values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]};
    }
    QPoint WindowOrigin() { return WindowGeometry().topLeft(); }

    // Pointer and keyboard, in window client coordinates.
    void MoveTo(QPoint p) {
        const QPoint s = WindowOrigin() + p;
        Xdotool({"mousemove", "--sync", QString::number(s.x()), QString::number(s.y())});
        Settle();
    }
    void Click(QPoint p) {
        MoveTo(p);
        Xdotool({"click", "1"});
        Settle();
    }
    void ButtonDown(int button = 1) {
        Xdotool({"mousedown", QString::number(button)});
        Settle();
    }
    void ButtonUp(int button = 1) {
        Xdotool({"mouseup", QString::number(button)});
        Settle();
    }
    void Keys(const QStringList& keys) {
        QStringList args{"key", "--delay", "30"};
        args << keys;
        Xdotool(args);
        Settle();
    }
    void Type(const QString& text) {
        Xdotool({"type", "--delay", "40", text});
        Settle();
    }

    QImage Screenshot(const QString& path) {
        Run("import", {"-window", FWindow, path}, FDisplay);
        return QImage(path);
    }

    std::pair<int, QString> Xdotool(const QStringList& args) { return Tool("xdotool", args); }

    // An X client run against the session's display: its exit code and standard output.
    std::pair<int, QString> Tool(const QString& program, const QStringList& args) {
        return Run(program, args, FDisplay);
    }

private:
    static void Settle() { QThread::msleep(150); }

    // The helper's reports, a line each: "display :N", "pid P", "window ID", "exited STATUS".
    void ReadReports() {
        while (FHelper.canReadLine() || FHelper.waitForReadyRead(0)) {
            if (!FHelper.canReadLine())
                continue;
            const QString line = QString::fromLocal8Bit(FHelper.readLine()).trimmed();
            const QString value = line.section(' ', 1);
            if (line.startsWith("display "))
                FDisplay = value;
            else if (line.startsWith("pid "))
                FEditorPid = value.toInt();
            else if (line.startsWith("window "))
                FWindow = value;
            else if (line.startsWith("exited "))
                FEditorExited = true;
        }
    }

    static std::pair<int, QString> Run(const QString& program, const QStringList& args,
                                       const QString& display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        const TRun run = RunProgram(program, args, env, {}, 20000);
        return {run.ExitCode, run.Out};
    }

    QProcess FHelper;
    QString FDisplay;
    QString FWindow;
    qint64 FEditorPid = 0;
    bool FEditorExited = false;
};
