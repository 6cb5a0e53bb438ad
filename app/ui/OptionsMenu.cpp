#include "ui/OptionsMenu.h"

#include "ui/Resources.h"

#include <QKeyEvent>

namespace lunaveil {

OptionsMenu::OptionsMenu(QWidget* parent)
    : QMenu(parent)
{
    // "&&" shows a plain "&" instead of marking a mnemonic.
    help_ = addEntry(tr("Help && Support"), QStringLiteral("HelpMenuOption"), QKeySequence(Qt::Key_H));
    followSun_ = addEntry(tr("Sunset to Sunrise"), QString(), QKeySequence(Qt::Key_S));
    followSun_->setCheckable(true);
    location_ = addEntry(tr("Location..."), QString(), QKeySequence(Qt::Key_L));
    addSeparator();
    quit_ = addEntry(tr("Quit"), QStringLiteral("QuitApplicationMenuOption"), QKeySequence(Qt::Key_Q));
    willHighlightItem(nullptr);
    connect(this, &QMenu::hovered, this, [this] { followHighlight(); });
    connect(help_, &QAction::triggered, this, [this] {
        if (const auto callback = onHelpRequest)
            callback();
    });
    connect(quit_, &QAction::triggered, this, [this] {
        if (const auto callback = onQuitRequest)
            callback();
    });
    connect(followSun_, &QAction::triggered, this, [this](bool checked) {
        if (const auto callback = onFollowSunToggled)
            callback(checked);
    });
    connect(location_, &QAction::triggered, this, [this] {
        if (const auto callback = onLocationRequest)
            callback();
    });
}

QAction* OptionsMenu::addEntry(const QString& title, const QString& imageName, QKeySequence key)
{
    QAction* action = addAction(title);
    action->setData(imageName);
    action->setShortcut(key);
    return action;
}

QPoint OptionsMenu::popupPosition(QSize buttonSize)
{
    return {qRound(0.5 * buttonSize.width()), buttonSize.height() + qRound(0.25 * buttonSize.height())};
}

void OptionsMenu::popUp(QWidget* button)
{
    exec(button->mapToGlobal(popupPosition(button->size())));
}

void OptionsMenu::willHighlightItem(QAction* item)
{
    help_->setIcon(QIcon(loadImage(help_->data().toString(), imageSize, devicePixelRatio())));
    quit_->setIcon(QIcon(loadImage(quit_->data().toString(), imageSize, devicePixelRatio())));
    if (item == nullptr || item->icon().isNull())
        return;
    const QString name = item->data().toString();
    if (!name.isEmpty())
        item->setIcon(QIcon(loadImage(name + QStringLiteral("_White"), {}, devicePixelRatio())));
}

bool OptionsMenu::event(QEvent* event)
{
    const bool handled = QMenu::event(event);
    // Once shown, the images are drawn again for the pixel density of the screen the menu opened on.
    if (event->type() == QEvent::Show)
        willHighlightItem(highlighted_);
    followHighlight();
    return handled;
}

void OptionsMenu::followHighlight()
{
    // QMenu tells of a new highlight (hovered) but not of losing it, to the separator or off the
    // menu, so the highlight is also compared after every event the menu handles.
    if (activeAction() == highlighted_)
        return;
    highlighted_ = activeAction();
    willHighlightItem(highlighted_);
}

void OptionsMenu::keyPressEvent(QKeyEvent* event)
{
    // An open pop-up menu does not run its entries' shortcuts itself.
    const QKeySequence pressed(event->keyCombination());
    for (QAction* action : actions()) {
        if (!action->isSeparator() && action->isEnabled() && action->shortcut() == pressed) {
            close();
            action->trigger();
            return;
        }
    }
    QMenu::keyPressEvent(event);
}

}  // namespace lunaveil
