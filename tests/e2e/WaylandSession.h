#pragma once

// Runs the real editor as a native client of a private, headless Wayland compositor (sway)
// and drives it through the compositor's virtual pointer and keyboard, as a person at the
// screen would. The compositor, the editor and their end belong to scripts/waylandsession.sh;
// the input devices to e2e/wayland/WaylandInput.cpp, which stays plugged in for the whole
// session. Positions are in the compositor's layout, in logical pixels.

#include "e2e/EditorSession.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <functional>

class WaylandSession : public EditorSession {
public:
    WaylandSession() = default;
    ~WaylandSession() { Unplug(); }

    // Starts a compositor at the output scale given and the editor in workDir, waits for its
    // painted window and plugs in the input devices; false, with the compositor's and the
    // editor's account of what went wrong, when any of it fails.
    bool Start(const QString& workDir, QString* reason, int scale = 1) {
        if (QString(VARNOTEL_WAYLAND_INPUT).isEmpty()) {
            *reason = "the tests were built without their Wayland input client: install "
                      "libwayland-dev and libxkbcommon-dev (scripts/setup.sh all does)";
            return false;
        }
        if (!Launch("waylandsession.sh", {"--scale", QString::number(scale)}, {}, workDir, reason))
            return false;
        FInput.setProcessEnvironment(ClientEnvironment());
        FInput.start(VARNOTEL_WAYLAND_INPUT, QStringList{});
        if (!FInput.waitForStarted(10000) || !Answered("ready")) {
            *reason = "the virtual pointer and keyboard were not plugged in: " +
                      QString::fromLocal8Bit(FInput.readAllStandardError()) + Messages();
            return false;
        }
        return true;
    }

    // The compositor's IPC, through swaymsg: its exit code and standard output.
    std::pair<int, QString> Swaymsg(const QStringList& args) {
        return Tool("swaymsg", QStringList{"-s", Report("ipc")} + args);
    }
    void Command(const QString& command) {
        const auto [code, out] = Swaymsg({command});
        EXPECT_EQ(code, 0) << command.toStdString() << ": " << out.toStdString();
        Settle();
    }

    // The window's node in the compositor's tree (its "shell", "app_id", "rect" ...).
    QJsonObject Window() {
        const auto [code, out] = Swaymsg({"-t", "get_tree"});
        QJsonObject found;
        std::function<void(const QJsonObject&)> visit = [&](const QJsonObject& node) {
            if (node["marks"].toArray().contains(QJsonValue("varnotel")))
                found = node;
            for (const char* children : {"nodes", "floating_nodes"})
                for (const QJsonValue& child : node[children].toArray())
                    visit(child.toObject());
        };
        visit(QJsonDocument::fromJson(out.toUtf8()).object());
        return found;
    }
    // The window's surface on the layout: its client area and the frame Qt draws around it,
    // if any, without the compositor's own border.
    QRect Surface() {
        const QJsonObject node = Window();
        const QJsonObject rect = node["rect"].toObject();
        const QJsonObject inner = node["window_rect"].toObject();
        return {rect["x"].toInt() + inner["x"].toInt(), rect["y"].toInt() + inner["y"].toInt(),
                inner["width"].toInt(), inner["height"].toInt()};
    }
    // The size of the window's surface as the editor last set it, whatever size the
    // compositor asked for.
    QSize SurfaceSize() {
        const QJsonObject geometry = Window()["geometry"].toObject();
        return {geometry["width"].toInt(), geometry["height"].toInt()};
    }
    // The layout of the compositor's one output, in logical pixels.
    QSize Layout() {
        const auto [code, out] = Swaymsg({"-t", "get_outputs"});
        const QJsonObject rect =
            QJsonDocument::fromJson(out.toUtf8()).array().at(0).toObject()["rect"].toObject();
        return {rect["width"].toInt(), rect["height"].toInt()};
    }

    // Pointer and keyboard, in layout coordinates.
    void MoveTo(QPoint p) {
        const QSize layout = Layout();
        Input(QString("move %1 %2 %3 %4")
                  .arg(p.x())
                  .arg(p.y())
                  .arg(layout.width())
                  .arg(layout.height()));
    }
    void Click(QPoint p) {
        MoveTo(p);
        ButtonDown();
        ButtonUp();
    }
    void ButtonDown() { Input("down"); }
    void ButtonUp() { Input("up"); }
    void Keys(const QStringList& keys) { Input("key " + keys.join(' ')); }
    void Type(const QString& text) { Input("type " + text); }

    // A picture of part of the layout, at the output's own resolution.
    QImage Picture(const QRect& area, const QString& path) {
        const QString geometry =
            QString("%1,%2 %3x%4").arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height());
        const TRun run = RunClient("grim", {"-g", geometry, path});
        EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        return QImage(path).convertToFormat(QImage::Format_RGB32);
    }

protected:
    QProcessEnvironment ClientEnvironment() const override {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.insert("WAYLAND_DISPLAY", Report("socket"));
        env.insert("XDG_RUNTIME_DIR", Report("runtime"));
        return env;
    }

private:
    // Unplugs the input devices.
    void Unplug() {
        if (FInput.state() == QProcess::NotRunning)
            return;
        FInput.closeWriteChannel();
        if (!FInput.waitForFinished(10000)) {
            FInput.kill();
            FInput.waitForFinished(10000);
        }
    }

    // One command to the input devices; it has been handled by the compositor once answered.
    void Input(const QString& command) {
        FInput.write(command.toUtf8() + '\n');
        EXPECT_TRUE(Answered("ok")) << command.toStdString();
        Settle();
    }
    bool Answered(const QString& expected) {
        QElapsedTimer clock;
        clock.start();
        while (!FInput.canReadLine() && FInput.state() == QProcess::Running &&
               clock.elapsed() < 20000)
            FInput.waitForReadyRead(1000);
        return FInput.canReadLine() && QString::fromUtf8(FInput.readLine()).trimmed() == expected;
    }

    QProcess FInput;
};
