// Starts the calculator: answers --help and --version, or opens the window with the real
// platform, finding its folders from the executable's folder.
#include "app/desktop.h"
#include "app/fontwarmup.h"
#include "app/printer.h"
#include "app/qtwords.h"
#include "app/realplatform.h"
#include "ui/form1.h"
#include "ui/messages.h"
#include "ui/programfont.h"

#include <QApplication>
#include <QCommandLineParser>

#include <vector>

namespace {

// The command line: --help and --version are answered (and the program ends) before a
// window system is asked for, so they work without a display. The window system's own
// options (-platform …) are not known here; the window's start checks the rest.
void answerHelpAndVersion(QCommandLineParser &options, int argc, char *argv[]) {
    options.setApplicationDescription(
        tapecalc::programTitle +
        QStringLiteral(" — a desktop adding machine with a paper tape. No options are needed."));
    const QCommandLineOption help = options.addHelpOption();
    const QCommandLineOption version = options.addVersionOption();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    options.parse(arguments);
    const QString helpAll = QStringLiteral("help-all");
    if (options.isSet(help) || options.isSet(helpAll) || options.isSet(version)) {
        QCoreApplication answer(argc, argv);
        if (options.isSet(helpAll))
            options.process(answer); // lists the window system's options too, and exits
        if (options.isSet(help))
            options.showHelp();
        options.showVersion();
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("tapecalc"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAPECALC_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(TAPECALC_APP_ID));
    QCommandLineParser options;
    answerHelpAndVersion(options, argc, argv);

    std::jthread fontConfiguration = tapecalc::readFontConfigurationAside();
    std::vector<char *> args = tapecalc::argumentsForWindowSystem(argc, argv);
    int argCount = static_cast<int>(args.size()) - 1;
    QApplication app(argCount, args.data());
    options.process(app); // what the window system left over: unknown options end here
    tapecalc::installQtWords(QLocale());
    if (!options.positionalArguments().isEmpty())
        options.showHelp(1);

    // Message boxes, like the window, use the built-in face (registered by the window).
    QFont font = QApplication::font();
    font.setFamilies({tapecalc::programFontFamily});
    QApplication::setFont(font);

    if (fontConfiguration.joinable())
        fontConfiguration.join();
    int status = 0;
    {
        tapecalc::RealPlatform platform;
        tapecalc::Form1 window(platform, QCoreApplication::applicationDirPath());
        platform.setWindow(&window);
        window.show();
        // The sound output opens once the window is on the screen, in time for the first key.
        QObject::connect(&window, &tapecalc::Form1::started, &window,
                         [&platform] { platform.warmUpSound(); });
        status = QApplication::exec();
    }
    tapecalc::endNowIfPrintsRun(status);
    return status;
}
