#include "ui/Accessibility.h"

#include "ui/ImageButtonView.h"
#include "ui/RoundedViewCheckButton.h"

#include <QAccessibleWidget>

namespace lunaveil {
namespace {

class SwatchAccessible final : public QAccessibleWidget {
public:
    explicit SwatchAccessible(RoundedViewCheckButton* swatch) : QAccessibleWidget(swatch, QAccessible::RadioButton) {}

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = swatch()->isSelected();
        return state;
    }
    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& name) override
    {
        name == pressAction() ? swatch()->click() : QAccessibleWidget::doAction(name);
    }

private:
    RoundedViewCheckButton* swatch() const { return static_cast<RoundedViewCheckButton*>(widget()); }
};

class ImageButtonAccessible final : public QAccessibleWidget {
public:
    explicit ImageButtonAccessible(ImageButtonView* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }
    void doAction(const QString& name) override
    {
        name == pressAction() ? button()->click() : QAccessibleWidget::doAction(name);
    }

private:
    ImageButtonView* button() const { return static_cast<ImageButtonView*>(widget()); }
};

// Qt's accessibility cache owns the interfaces it is given.
QAccessibleInterface* lunaveilAccessible(const QString&, QObject* object)
{
    if (auto* swatch = qobject_cast<RoundedViewCheckButton*>(object))
        return new SwatchAccessible(swatch);
    if (auto* button = qobject_cast<ImageButtonView*>(object))
        return new ImageButtonAccessible(button);
    return nullptr;
}

}  // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&lunaveilAccessible);
        return true;
    }();
    (void)installed;
}

}  // namespace lunaveil
