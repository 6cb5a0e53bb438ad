// Runs the widget tests in a QGuiApplication on the offscreen platform with two screens.

#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    // No X or Wayland display is used or needed, whatever the environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" LUNAVEIL_OFFSCREEN_SCREENS);
    qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");
    testing::InitGoogleTest(&argc, argv);
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
