// The editor's peer at start-up: a window of the editor's size that shows itself and nothing
// else, on the same Qt.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Bare window");
    window.resize(1175, 548);
    window.show();
    return app.exec();
}
