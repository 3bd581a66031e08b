#include "calcpoll.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    auto *app = new QApplication(argc, argv);
    calcApplication = app;
    auto *window = new MainWindow;
    window->show();
    // Qt has taken its own options out; what remains names a document.
    window->openArguments(app->arguments().mid(1));
    const int code = app->exec();
    delete window;
    calcApplication = nullptr;
    delete app;
    return code;
}
