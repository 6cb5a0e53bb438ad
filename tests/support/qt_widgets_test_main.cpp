// Runs GoogleTest inside a QApplication, so widget tests can show widgets and spin the event loop.
// Without a platform chosen in the environment, the offscreen one is used: no display is needed.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
