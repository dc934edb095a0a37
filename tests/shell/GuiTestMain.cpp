#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The window tests run without a display, and keep their settings and desktop files in a
// folder of their own instead of the user's.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Quiltmark Tests");
    QCoreApplication::setApplicationName("gui_tests");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
