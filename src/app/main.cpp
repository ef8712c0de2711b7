// quorvane: the desktop program.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSplashScreen>

#include <clocale>

#include "app/main_window.h"
#include "model/class_registry.h"
#include "model/designer.h"

namespace {

// Shows "splash.bmp" from the program's folder for one second, when present.
void showSplash()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/splash.bmp");
    if (!QFileInfo::exists(path))
        return;
    QPixmap picture(path);
    if (picture.isNull())
        return;
    QSplashScreen splash(picture);
    splash.show();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    splash.close();
}

} // namespace

int main(int argc, char** argv)
{
    // The element classes and the net container come first.
    RegisterStandardClasses();
    TQRVDesigner netDesigner;

    QLocale::setDefault(QLocale::c());
    QApplication app(argc, argv);
    // Numbers are written and read with "." whatever the locale. The
    // application object has just set the locale from the environment.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    // The platform adds this to the titles of the program's windows (the main
    // window's title already ends with it).
    QApplication::setApplicationDisplayName(TfmMain::ProgramName());
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    const QStringList args = QCoreApplication::arguments();
    const QString firstArgument = args.size() > 1 ? args.at(1).trimmed() : QString();
    if (firstArgument.isEmpty())
        showSplash();

    TfmMain window(netDesigner);
    netDesigner.SetErrorReporter(
        [&window](const QString& text) { QMessageBox::critical(&window, QStringLiteral("Error"), text); });
    window.show();
    if (!firstArgument.isEmpty())
        window.OpenFile(firstArgument);
    const int status = app.exec();
    netDesigner.SetErrorReporter(nullptr);
    return status;
}
