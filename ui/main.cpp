// Starts the calculator: the real platform and the window, in the executable's folder.
#include "ui/form1.h"
#include "ui/programfont.h"
#include "ui/realplatform.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // Message boxes, like the window, use the built-in face.
    QFont font = QApplication::font();
    font.setFamilies({tapecalc::programFontFamily()});
    QApplication::setFont(font);
    tapecalc::RealPlatform platform;
    tapecalc::Form1 window(platform, QCoreApplication::applicationDirPath());
    platform.setWindow(&window);
    window.show();
    return QApplication::exec();
}
