// Lunaveil in German, as a user whose LANG is de_DE.UTF-8 sees it: the popover, its menu, the
// swatches' names, an alert's button and the help page.

#include "ui/HelpWindowController.h"
#include "ui/OptionsMenu.h"
#include "ui/PopoverViewController.h"
#include "ui/QtMessageAlert.h"
#include "ui/RoundedViewCheckGroup.h"
#include "ui/Translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace lunaveil {
namespace {

TEST(Translations, UnderAGermanLocaleLunaveilSpeaksGerman)
{
    ASSERT_EQ(QLocale().language(), QLocale::German) << "run with LANG=de_DE.UTF-8";
    installTranslations(*qApp);

    PopoverViewController popover;
    QWidget* view = popover.view();
    EXPECT_EQ(view->findChild<QCheckBox*>(QStringLiteral("scheduleCheckboxOutlet"))->text(), QStringLiteral("Zeitplan"));
    EXPECT_EQ(view->findChild<QCheckBox*>(QStringLiteral("trueColorsCheckboxOutlet"))->text(),
              QStringLiteral("Echte Farben"));
    const auto* row = view->findChild<RoundedViewCheckGroup*>(QStringLiteral("roundedViewCheckGroupOutlet"));
    ASSERT_FALSE(row->items().empty());
    EXPECT_EQ(row->items().front()->accessibleName(), QStringLiteral("Rot"));
    EXPECT_EQ(row->items().back()->accessibleName(), QStringLiteral("Eigene Farbe"));

    const OptionsMenu menu;
    EXPECT_EQ(menu.helpAction()->text(), QStringLiteral("Hilfe && Support"));
    EXPECT_EQ(menu.quitAction()->text(), QStringLiteral("Beenden"));
    QtMessageAlert alert("Echte Farben", "");
    EXPECT_EQ(alert.box().buttons().front()->text(), QStringLiteral("Schließen"));

    HelpWindowController help;
    EXPECT_TRUE(help.webviewOutlet()->toPlainText().contains(QStringLiteral("Wo Ihre Einstellungen liegen")));
}

}  // namespace
}  // namespace lunaveil
