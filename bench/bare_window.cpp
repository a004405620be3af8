// The yardstick of tools/bench-startup.sh: the least a Qt Widgets program does to show a
// window like the calculator's, a frameless one with one label, on the same Qt. With
// --entry-box the label holds a line edit too, as the calculator's window holds its entry
// box from the moment it is made: a line edit lays its text out when it is made, so the
// system's fonts are read before the window is mapped, where the label alone reads them
// only to draw its first frame.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <cstring>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("0"), nullptr, Qt::Window | Qt::FramelessWindowHint);
    label.resize(352, 368);
    if (argc > 1 && std::strcmp(argv[1], "--entry-box") == 0)
        (new QLineEdit(&label))->setGeometry(16, 88, 136, 33);
    label.show();
    return QApplication::exec();
}
