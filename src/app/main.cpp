#include <QApplication>
#include <QStringList>

#include "app/Images.h"
#include "app/OxilumeApp.h"

int main(int argc, char** argv)
{
    QApplication a(argc, argv);
    // The application ends with its main window, also while the help window
    // is still open.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(Images::AppIcon());

    COxilumeApp app;
    QObject::connect(&app, &COxilumeApp::MainWindowClosed, &a, &QCoreApplication::quit, Qt::QueuedConnection);

    QStringList listArgs = QApplication::arguments();
    if (!listArgs.isEmpty())
        listArgs.removeFirst();
    if (!app.InitInstance(listArgs))
    {
        app.ExitInstance();
        return app.ExitCode();
    }
    const int nResult = QApplication::exec();
    app.ExitInstance();
    return nResult;
}
