// Shared main of every test program: a headless Qt application, then GoogleTest.
#include <gtest/gtest.h>

#include <QtGlobal>
#ifdef CVG_GUI_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv)
{
    // gtest_discover_tests runs the programs at build time without ctest's
    // environment, so the platform is chosen here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
