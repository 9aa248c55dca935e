#include "app/Module1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    maj::Main();
    return app.exec();
}
