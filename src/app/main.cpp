#include "app/CommandLine.h"
#include "app/Module1.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    // An option of the program's own needs no display; anything else is the window's (and Qt's).
    if (argc > 1 && QByteArray(argv[1]).startsWith("--")) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return maj::runCommandLine(app.arguments().mid(1), out, err);
    }
    QApplication app(argc, argv);
    maj::Main();
    return app.exec();
}
