#include "app/CommandLine.h"
#include "app/Module1.h"
#include "platform/Ui.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!maj::isForTheWindow(arguments)) {
        QCoreApplication app(argc, argv);
        return maj::runCommandLine(arguments, out, err);
    }
    // Qt aborts when no platform can show the window (no display): said in French instead.
    static const QtMessageHandler qtHandler =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            qtHandler(type, context, text);
            if (type == QtFatalMsg) {
                std::fputs("La fenêtre de la mise à jour ne peut s'ouvrir : aucun écran n'est disponible. Les options "
                           "qui n'en demandent pas : maj --help\n",
                           stderr);
                std::_Exit(int(maj::ExitStatus::Failure));
            }
        });
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    // What Qt did not take is not the window's.
    if (argc > 1)
        return maj::runCommandLine(app.arguments().mid(1), out, err);
    maj::Main();
    return app.exec();
}
