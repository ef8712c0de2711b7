// The one test main: a Qt application on the offscreen platform, then GoogleTest.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>

#include <clocale>

#ifdef QUORVANE_TEST_WIDGETS
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QGuiApplication>
using TTestApplication = QGuiApplication;
#endif

#include <sys/stat.h>
#include <unistd.h>

#include "model/class_registry.h"
#include "reach/current_graph.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray dir = "/tmp/runtime-" + QByteArray::number(static_cast<qulonglong>(getuid()));
        mkdir(dir.constData(), 0700);
        chmod(dir.constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", dir);
    }
    QLocale::setDefault(QLocale::c());
    ::testing::InitGoogleTest(&argc, argv);
    TTestApplication app(argc, argv);
    // As the program does: after the application object set the locale.
    std::setlocale(LC_NUMERIC, "C");
    RegisterStandardClasses();
    // Test cases run as parallel processes: each keeps its graph to itself.
    QTemporaryDir graphFolder;
    if (graphFolder.isValid())
        SetCurrentGraphFolder(graphFolder.path());
    return RUN_ALL_TESTS();
}
