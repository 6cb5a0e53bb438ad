// The help and greetings windows, the explanations' message boxes and the custom colour chooser.

#include "ui/GreetingsWindowController.h"
#include "ui/HelpWindowController.h"
#include "ui/QtColourPanel.h"
#include "ui/QtMessageAlert.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
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

TEST(MessageAlertTest, ShowsBothTextsWithOneCloseButtonAndReturnsWhenClosed)
{
    QtMessageAlert alert("True Colors", "Use this option to change the real spectrum of your display.");
    QMessageBox& box = alert.box();
    EXPECT_EQ(box.icon(), QMessageBox::Information);
    EXPECT_EQ(box.text(), QStringLiteral("True Colors"));
    EXPECT_EQ(box.informativeText(), QStringLiteral("Use this option to change the real spectrum of your display."));
    ASSERT_EQ(box.buttons().size(), 1);
    EXPECT_EQ(box.buttons().front()->text(), QStringLiteral("Close"));

    QTimer::singleShot(0, &box, [&] {
        EXPECT_TRUE(box.isVisible() && box.isModal());
        EXPECT_GE(box.width(), alert.minimumWidth()) << "short texts keep to a line or two";
        const auto* heading = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(heading, nullptr);
        EXPECT_TRUE(heading->font().bold());
        box.buttons().front()->click();
    });
    alert.runModal();
    EXPECT_FALSE(box.isVisible());
}

TEST(HelpWindowTest, ShowsTheHelpPageComesForwardAgainAndWritesToSupport)
{
    MailCatcher mail;
    HelpWindowController help;
    help.mailProgramExists = [] { return true; };
    help.showWindowService();
    QWidget* window = help.window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QString page = help.webviewOutlet()->toPlainText();
    EXPECT_TRUE(page.contains(QStringLiteral("True Colors")));
    EXPECT_TRUE(page.contains(QStringLiteral("lunaveil --reset")));

    auto* button = window->findChild<QPushButton*>(QStringLiteral("contactSupportButton"));
    ASSERT_NE(button, nullptr);
    button->click();
    ASSERT_EQ(mail.opened.size(), 1);
    EXPECT_EQ(mail.opened.front().toEncoded(), QByteArray("mailto:support@lunaveil.org?Subject=Lunaveil%20Support"));

    // Without a mail program the address is shown, and on the clipboard.
    help.mailProgramExists = [] { return false; };
    QString told;
    QTimer::singleShot(0, window, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            told = box->informativeText();
            box->buttons().front()->click();
        }
    });
    button->click();
    EXPECT_EQ(mail.opened.size(), 1);
    EXPECT_TRUE(told.contains(QStringLiteral("support@lunaveil.org"))) << told.toStdString();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("support@lunaveil.org"));

    window->close();
    help.focus();
    EXPECT_EQ(help.window(), window);
    EXPECT_TRUE(window->isVisible());
}

TEST(GreetingsWindowTest, ShowsItselfWithAFlatLineAndClosesFromItsButton)
{
    GreetingsWindowController greetings;
    greetings.showServiceWindow();
    QWidget* window = greetings.window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QWidget* line = greetings.lineViewOutlet();
    ASSERT_GT(line->width(), 0);
    const QImage drawn = line->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(drawn.width() / 2, 0), GreetingsWindowController::lineColour());

    auto* close = window->findChild<QPushButton*>(QStringLiteral("closeButton"));
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_FALSE(window->isVisible());
}

TEST(ColourPanelTest, ReportsEveryColourTheUserMovesToInDeviceRgb)
{
    QtColourPanel panel;
    int changes = 0;
    panel.onColorChanged = [&] { ++changes; };
    panel.setColor(Colour::rgb(193 / 255.0, 125 / 255.0, 209 / 255.0));
    EXPECT_EQ(changes, 0);  // set from code: no report
    panel.makeKeyAndOrderFront();
    EXPECT_TRUE(panel.dialog().isVisible() && !panel.dialog().isModal());

    panel.dialog().setCurrentColor(QColor(10, 20, 30));
    panel.dialog().setCurrentColor(QColor(255, 128, 0));
    EXPECT_EQ(changes, 2);
    const Colour chosen = panel.color();
    EXPECT_EQ(chosen.space(), ColourSpace::DeviceRGB);
    EXPECT_EQ(chosen.alpha(), 1.0);
    EXPECT_NEAR(chosen.components()[0], 1.0, 1e-6);
    EXPECT_NEAR(chosen.components()[1], 128 / 255.0, 1e-6);
}

}  // namespace
}  // namespace lunaveil

#include "windows_test.moc"
