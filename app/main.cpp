#include "calcpoll.h"
#include "mainwindow.h"
#include "recoverystart.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    auto *app = new QApplication(argc, argv);
    // Names the data folder that holds the recovery copies.
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanta"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    calcApplication = app;
    auto *window = new MainWindow;
    window->show();
    // Qt has taken its own options out; what remains names a document. Copies
    // left by a crash are offered first.
    RecoveryStart::run(window, app->arguments().mid(1));
    const int code = app->exec();
    delete window;
    calcApplication = nullptr;
    delete app;
    return code;
}
