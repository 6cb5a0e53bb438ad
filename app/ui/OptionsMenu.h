#pragma once
// The popover's options menu: "Help & Support", the schedule's "Sunset to Sunrise" and its
// "Location...", and "Quit", each firing one callback.

#include <QKeySequence>
#include <QMenu>
#include <QPoint>
#include <QSize>

#include <functional>

namespace lunaveil {

// Entries, top to bottom: "Help & Support" (key H, image "HelpMenuOption"), "Sunset to Sunrise"
// (checkable, key S), "Location..." (key L), a separator, "Quit"
// (key Q, image "QuitApplicationMenuOption"). The highlighted entry shows its image's "_White"
// variant. Build a new menu for every opening; without a parent it keeps the standard look
// whatever style sheet the popover it opens from has.
class OptionsMenu : public QMenu {
    Q_OBJECT
public:
    static constexpr QSize imageSize{12, 12};

    explicit OptionsMenu(QWidget* parent = nullptr);

    std::function<void()> onHelpRequest;
    std::function<void()> onQuitRequest;
    std::function<void(bool)> onFollowSunToggled;
    std::function<void()> onLocationRequest;

    QAction* helpAction() const { return help_; }
    QAction* quitAction() const { return quit_; }
    QAction* followSunAction() const { return followSun_; }
    QAction* locationAction() const { return location_; }

    // Where the menu's top-left corner goes, in the coordinates of a button of buttonSize: half
    // the width across, a quarter of the height below the bottom edge.
    static QPoint popupPosition(QSize buttonSize);
    // Opens the menu under button at popupPosition, in the light standard look, with no entry
    // highlighted; returns when the menu closes.
    void popUp(QWidget* button);

    // Restores both normal images, then gives item (when it has an image) its "_White" variant.
    // The menu calls this whenever its highlight moves; item is null when nothing is highlighted.
    void willHighlightItem(QAction* item);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAction* addEntry(const QString& title, const QString& imageName, QKeySequence key);
    void followHighlight();

    QAction* help_;
    QAction* followSun_;
    QAction* location_;
    QAction* quit_;
    QAction* highlighted_ = nullptr;
};

}  // namespace lunaveil
