#include "shell/ui/MainWindow.h"

#include <QApplication>
#include <QByteArray>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // WebEngine refuses to start as root unless its sandbox is off.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS")) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray("--no-sandbox"));
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    zorvast::shell::ui::MainWindow window;
    window.show();
    return app.exec();
}
