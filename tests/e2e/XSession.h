#pragma once

// Runs the real editor on a private X display and drives it with real X events through
// xdotool, as a person at the screen would. The display, the editor and their end belong to
// scripts/xsession.sh, the same helper that the run script's headless path uses.

#include "e2e/EditorSession.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QRect>
#include <QTemporaryDir>

class XSession : public EditorSession {
public:
    XSession() = default;

    // Starts a private X display and the editor in workDir, and waits for its painted window;
    // false, with the helper's account of what went wrong, when the window does not appear.
    // The editor's environment is the test's, with the variables of `extra` added; the
    // display's screen has the helper's size unless `screen` ("WxH") gives one.
    bool Start(const QString& workDir, QString* reason,
               const std::map<QString, QString>& extra = {}, const QString& screen = {}) {
        const QStringList options =
            screen.isEmpty() ? QStringList{} : QStringList{"--screen", screen};
        return Launch("xsession.sh", options, extra, workDir, reason);
    }

    QString Window() const { return Report("window"); }

    // The window's client area on the screen.
    QRect WindowGeometry() {
        const auto [code, out] = Xdotool({"getwindowgeometry", "--shell", Window()});
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
        Tool("import", {"-window", Window(), path});
        return QImage(path);
    }

    std::pair<int, QString> Xdotool(const QStringList& args) { return Tool("xdotool", args); }

protected:
    QProcessEnvironment ClientEnvironment() const override {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", Report("display"));
        return env;
    }
};
