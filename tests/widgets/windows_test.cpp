// The help window and the custom colour chooser; the greetings window is proved end to end.

#include "ui/HelpWindowController.h"
#include "ui/QtColour.h"
#include "ui/QtColourPanel.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

// Takes the URLs Qt would hand to the desktop's mail program.
class MailCatcher : public QObject {
    Q_OBJECT
public:
    MailCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("mailto"), this, "open"); }
    ~MailCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("mailto")); }
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

TEST(HelpWindowTest, ShowsTheHelpPageComesForwardAgainAndWritesToSupport)
{
    MailCatcher mail;
    HelpWindowController help;
    help.mailProgramExists = [] { return true; };
    help.showWindowService();
    QWidget* window = help.window();
    EXPECT_TRUE(window->isVisible() && help.webviewOutlet()->toPlainText().contains(QStringLiteral("lunaveil --reset")));
    auto* button = window->findChild<QPushButton*>(QStringLiteral("contactSupportButton"));
    ASSERT_NE(button, nullptr);
    button->click();
    ASSERT_EQ(mail.opened.size(), 1);
    EXPECT_EQ(mail.opened.front().toEncoded(), QByteArray("mailto:support@lunaveil.org?Subject=Lunaveil%20Support"));

    window->close();
    help.focus();
    EXPECT_TRUE(help.window() == window && window->isVisible());
}

TEST(ColourPanelTest, ReportsEveryColourTheUserMovesToInDeviceRgb)
{
    QtColourPanel panel;
    int changes = 0;
    panel.onColorChanged = [&] { ++changes; };
    panel.setColor(Colour::rgb(193 / 255.0, 125 / 255.0, 209 / 255.0));  // set from code: no report
    panel.makeKeyAndOrderFront();
    EXPECT_TRUE(panel.dialog().isVisible() && !panel.dialog().isModal());
    panel.dialog().setCurrentColor(QColor(255, 128, 0));
    // Alpha included: the chooser offers none.
    EXPECT_EQ(std::tuple(changes, panel.color().space(), toQColor(panel.color())),
              std::tuple(1, ColourSpace::DeviceRGB, QColor(255, 128, 0)));
}

}  // namespace
}  // namespace lunaveil

#include "windows_test.moc"
