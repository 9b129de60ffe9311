#pragma once

// Runs the real editor under a private Xvfb display and drives it with real X events through
// xdotool, as a person at the screen would.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

class XSession {
public:
    XSession() = default;
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;
    ~XSession() { Stop(); }

    // Starts Xvfb and the editor in workDir; false (with a reason) when either fails.
    bool Start(const QString& workDir, QString* reason) {
        for (int n = 140; n < 240 && FDisplay.isEmpty(); ++n) {
            if (QFile::exists(QString("/tmp/.X11-unix/X%1").arg(n)) ||
                QFile::exists(QString("/tmp/.X%1-lock").arg(n)))
                continue;
            FXvfb.start("Xvfb", {QString(":%1").arg(n), "-screen", "0", "1280x1024x24", "-nolisten",
                                 "tcp"});
            if (!FXvfb.waitForStarted(5000))
                break;
            const QString display = QString(":%1").arg(n);
            for (int i = 0; i < 100; ++i) {
                if (Run("xdpyinfo", {}, display).first == 0) {
                    FDisplay = display;
                    break;
                }
                QThread::msleep(50);
            }
        }
        if (FDisplay.isEmpty()) {
            *reason = "Xvfb did not start";
            return false;
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", FDisplay);
        env.remove("QT_QPA_PLATFORM");
        FEditor.setProcessEnvironment(env);
        FEditor.setWorkingDirectory(workDir);
        FEditor.start(VARNOTEL_EXE, {});
        if (!FEditor.waitForStarted(5000)) {
            *reason = "the editor did not start";
            return false;
        }
        for (int i = 0; i < 200 && FWindow.isEmpty(); ++i) {
            const auto [code, out] = Xdotool({"search", "--onlyvisible", "--name", "^Varnotel$"});
            if (code == 0 && !out.trimmed().isEmpty())
                FWindow = out.trimmed().split('\n').first();
            else
                QThread::msleep(50);
        }
        if (FWindow.isEmpty()) {
            *reason = "the editor's window did not appear";
            return false;
        }
        QThread::msleep(500);
        return true;
    }

    void Stop() {
        if (FEditor.state() != QProcess::NotRunning) {
            FEditor.kill();
            FEditor.waitForFinished(5000);
        }
        if (FXvfb.state() != QProcess::NotRunning) {
            FXvfb.terminate();
            if (!FXvfb.waitForFinished(5000)) {
                FXvfb.kill();
                FXvfb.waitForFinished(5000);
            }
        }
    }

    bool EditorRunning() const { return FEditor.state() == QProcess::Running; }
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

    std::pair<int, QString> Xdotool(const QStringList& args) {
        return Run("xdotool", args, FDisplay);
    }

private:
    static void Settle() { QThread::msleep(150); }

    static std::pair<int, QString> Run(const QString& program, const QStringList& args,
                                       const QString& display) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return {-1, {}};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput())};
    }

    QProcess FXvfb;
    QProcess FEditor;
    QString FDisplay;
    QString FWindow;
};
