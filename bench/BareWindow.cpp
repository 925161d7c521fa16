// The baseline of the start-up benchmark: a bare Qt window, as large as the
// student's window (the screen without its panels), showing nothing but its
// background.
#include <QApplication>
#include <QScreen>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(QGuiApplication::primaryScreen()->availableGeometry().size());
    window.show();
    return app.exec();
}
