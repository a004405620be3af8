// The yardstick of tools/bench-startup.sh: the least a Qt Widgets program does to show a
// window like the calculator's, a frameless one with one label, on the same Qt.
#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("0"), nullptr, Qt::Window | Qt::FramelessWindowHint);
    label.resize(352, 368);
    label.show();
    return QApplication::exec();
}
