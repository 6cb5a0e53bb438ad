#include "ui/PopoverViewController.h"

#include "schedule/SunTimes.h"
#include "ui/Accessibility.h"
#include "ui/LocationDialog.h"
#include "ui/OptionsMenu.h"
#include "ui/PopoverColourTables.h"
#include "ui/Resources.h"
#include "ui_PopoverView.h"

#include <QDateTime>
#include <QEvent>
#include <QFontInfo>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace lunaveil {
namespace {

constexpr double scheduleOnOpacity = 1.0;
constexpr double scheduleOffOpacity = 0.6;

QDateTime toDateTime(TimePoint when)
{
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count());
}

TimePoint toTimePoint(const QDateTime& when)
{
    return TimePoint(std::chrono::milliseconds(when.toMSecsSinceEpoch()));
}

// Only the checked state counts as on; the partly checked state is off.
bool isOn(const QCheckBox& box)
{
    return box.checkState() == Qt::Checked;
}

// The popover's dark look: light text on the grey gradient.
QPalette darkPalette(QPalette palette)
{
    const QColor text(236, 237, 240);
    const QColor dimmedText(150, 152, 160);
    palette.setColor(QPalette::Window, QColor(42, 43, 47));
    palette.setColor(QPalette::Base, QColor(30, 31, 34));
    palette.setColor(QPalette::AlternateBase, QColor(52, 54, 59));
    palette.setColor(QPalette::Button, QColor(70, 72, 79));
    palette.setColor(QPalette::Light, QColor(110, 113, 122));
    palette.setColor(QPalette::Midlight, QColor(88, 90, 98));
    palette.setColor(QPalette::Mid, QColor(56, 58, 64));
    palette.setColor(QPalette::Dark, QColor(24, 25, 28));
    palette.setColor(QPalette::Shadow, QColor(10, 10, 12));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Active, role, text);
        palette.setColor(QPalette::Inactive, role, text);
        palette.setColor(QPalette::Disabled, role, dimmedText);
    }
    palette.setColor(QPalette::ToolTipBase, QColor(30, 31, 34));
    palette.setColor(QPalette::ToolTipText, text);
    return palette;
}

// The time pickers keep the standard light look inside the dark popover.
QPalette lightPalette(QPalette palette)
{
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Window, QColor(239, 239, 239));
    palette.setColor(QPalette::Button, QColor(239, 239, 239));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Active, role, Qt::black);
        palette.setColor(QPalette::Inactive, role, Qt::black);
        palette.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
    }
    return palette;
}

// The menu button's image: three dots, drawn for the screen's pixel density.
QPixmap menuButtonImage(QSize size, double devicePixelRatio, const QColor& colour)
{
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const double radius = size.height() / 10.0;
    const double centreY = size.height() / 2.0;
    for (const double centreX : {size.width() * 0.25, size.width() * 0.5, size.width() * 0.75})
        painter.drawEllipse(QPointF(centreX, centreY), radius, radius);
    return pixmap;
}

QString timeFormat(bool twelveHour)
{
    return twelveHour ? QStringLiteral("h:mm AP") : QStringLiteral("HH:mm");
}

}  // namespace

PopoverViewController::PopoverViewController()
    : colors_(PopoverColourTables::colors()), displayColors_(PopoverColourTables::displayColors()),
      trueColors_(PopoverColourTables::trueColors()), displayTrueColors_(PopoverColourTables::displayTrueColors())
{
}

PopoverViewController::~PopoverViewController() = default;

QWidget* PopoverViewController::view()
{
    if (!view_)
        viewDidLoad();
    return view_.get();
}

void PopoverViewController::initiate(const Colour& backgroundColor, double backgroundAlpha, bool scheduleIsActive,
                                     TimePoint scheduleStart, TimePoint scheduleStop, bool startAtLogin,
                                     bool lightMonitorNowIsEnabled, bool inverseColorsIsEnabled, bool trueColor)
{
    currentSelectedBackgroundColor_ = backgroundColor;
    currentSelectedBackgroundAlpha_ = backgroundAlpha;
    scheduleIsActive_ = scheduleIsActive;
    scheduleStart_ = scheduleStart;
    scheduleStop_ = scheduleStop;
    startAtLogin_ = startAtLogin;
    lightMonitorNowIsEnabled_ = lightMonitorNowIsEnabled;
    inverseColorsIsEnabled_ = inverseColorsIsEnabled;
    trueColorsDisplay_ = trueColor;
}

void PopoverViewController::changeBackgroundCustomColor(const Colour& colour)
{
    if (ui_)
        ui_->roundedViewCheckGroupOutlet->setCustomColor(colour);
}

void PopoverViewController::setLightMonitorNowCheckBox(bool on)
{
    if (ui_)
        setStatusLightShown(on);
    lightMonitorNowIsEnabled_ = on;
    if (ui_)
        ui_->lunaveilCheckboxOutlet->setChecked(on);
}

bool PopoverViewController::tintSwitchIsOn() const
{
    return ui_ ? isOn(*ui_->lunaveilCheckboxOutlet) : lightMonitorNowIsEnabled_;
}

void PopoverViewController::setStartAtLoginCheckBox(bool on)
{
    startAtLogin_ = on;
    if (ui_)
        ui_->startAtLoginCheckboxOutlet->setChecked(on);
}

void PopoverViewController::setSelectedBackgroundColor(const Colour& colour)
{
    if (!ui_)
        return;
    // The row is laid out again as at the first opening, so that a colour of no preset (a custom
    // tint, after a switch to True Colors and back) shows on the custom swatch, selected.
    currentSelectedBackgroundColor_ = colour;
    buildRow();
}

void PopoverViewController::setInverseColorsEnabled(bool on)
{
    if (ui_)
        ui_->inverseColorsCheckboxOutlet->setChecked(on);
}

void PopoverViewController::setTrueColorsCheckBox(bool on)
{
    trueColorsDisplay_ = on;
    if (!ui_)
        return;
    ui_->trueColorsCheckboxOutlet->setChecked(on);
    buildRow();
}

void PopoverViewController::setBackgroundAlpha(double alphaPercent)
{
    currentSelectedBackgroundAlpha_ = alphaPercent;
    if (!ui_)
        return;
    const QSignalBlocker blocker(ui_->alphaSlideviewOutlet);
    ui_->alphaSlideviewOutlet->setValue(qRound(alphaPercent));
}

void PopoverViewController::setSunFollowing(const SunFollowing& following)
{
    sunFollowing_ = following;
    if (ui_)
        applyScheduleLook();
}

void PopoverViewController::setSchedule(bool active, TimePoint start, TimePoint stop)
{
    scheduleIsActive_ = active;
    scheduleStart_ = start;
    scheduleStop_ = stop;
    if (!ui_)
        return;
    ui_->scheduleCheckboxOutlet->setChecked(active);
    const QSignalBlocker startBlocker(ui_->startHourDatePickerOutlet);
    const QSignalBlocker stopBlocker(ui_->stopHourDatePickerOutlet);
    applyScheduleLook();
}

bool PopoverViewController::usesTwelveHourClock(const QLocale& locale)
{
    // Quoted text is literal; any other a or A is an AM/PM marker.
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('a') || c == QLatin1Char('A')))
            return true;
    }
    return false;
}

bool PopoverViewController::eventFilter(QObject* watched, QEvent* event)
{
    // Every time the popover appears or lays itself out, the pickers follow the current clock format.
    if (watched == view_.get()
        && (event->type() == QEvent::Show || event->type() == QEvent::Resize
            || event->type() == QEvent::LayoutRequest))
        layoutTimePickers();
    // Return does what Space does on the popover's check boxes and buttons, as in a dialog.
    if (watched == view_.get() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* button = qobject_cast<QAbstractButton*>(view_->focusWidget());
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button != nullptr && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    // The sun's times are today's: the popover may have been opened yesterday.
    if (watched == view_.get() && event->type() == QEvent::Show && sunFollowing_.followsSun)
        showScheduleTimes();
    // What the session says of its gamma may change while Lunaveil runs (Plasma's Night Light).
    if (watched == view_.get() && event->type() == QEvent::Show && effectsOffered_.whyNoDisplayGamma)
        applyEffectsOffered();
    return QObject::eventFilter(watched, event);
}

void PopoverViewController::viewDidLoad()
{
    initImageResources();
    installAccessibility();
    view_ = std::make_unique<QWidget>();
    ui_ = std::make_unique<Ui::PopoverView>();
    ui_->setupUi(view_.get());
    view_->setAttribute(Qt::WA_QuitOnClose, false);
    view_->setPalette(darkPalette(view_->palette()));
    view_->setAutoFillBackground(true);

    const double pixelRatio = view_->devicePixelRatioF();
    ui_->lunaveilStatusLightViewOutlet->setPixmap(
        loadImage(QStringLiteral("StatusLightOn"), ui_->lunaveilStatusLightViewOutlet->size(), pixelRatio));
    ui_->menuButtonOutlet->setPixmap(menuButtonImage(ui_->menuButtonOutlet->size(), pixelRatio,
                                                     view_->palette().color(QPalette::WindowText)));
    ui_->scheduleDatesViewOutlet->setGraphicsEffect(new QGraphicsOpacityEffect(ui_->scheduleDatesViewOutlet));

    refreshControls();
    ui_->roundedViewCheckGroupOutlet->onColorSelected = [this](const Colour& colour) { colorSelected(colour); };
    ui_->roundedViewCheckGroupOutlet->onCustomSelected = [this](const Colour& colour) { customColorSelected(colour); };
    startToolTip_ = ui_->startHourDatePickerOutlet->toolTip();
    stopToolTip_ = ui_->stopHourDatePickerOutlet->toolTip();
    ui_->menuButtonOutlet->initiate(0, false);
    ui_->menuButtonOutlet->onClick = [this](int) { showOptionsMenu(); };
    connectControls();
    layoutTimePickers();
    view_->installEventFilter(this);
}

void PopoverViewController::connectControls()
{
    Ui::PopoverView& ui = *ui_;
    connect(ui.scheduleCheckboxOutlet, &QCheckBox::clicked, this, &PopoverViewController::scheduleButtonClick);
    connect(ui.startHourDatePickerOutlet, &QDateTimeEdit::dateTimeChanged, this,
            &PopoverViewController::timePickerChanged);
    connect(ui.stopHourDatePickerOutlet, &QDateTimeEdit::dateTimeChanged, this,
            &PopoverViewController::timePickerChanged);
    connect(ui.startAtLoginCheckboxOutlet, &QCheckBox::clicked, this, &PopoverViewController::loginButtonClick);
    connect(ui.lunaveilCheckboxOutlet, &QCheckBox::clicked, this, &PopoverViewController::lunaveilButtonClick);
    connect(ui.alphaSlideviewOutlet, &QSlider::valueChanged, this, &PopoverViewController::alphaSliderChanged);
    connect(ui.inverseColorsCheckboxOutlet, &QCheckBox::clicked, this,
            &PopoverViewController::inverseColorsCheckboxClick);
    connect(ui.trueColorsCheckboxOutlet, &QCheckBox::clicked, this, &PopoverViewController::trueColorsCheckboxClick);
    connect(ui.inverseColorsHelpButton, &QToolButton::clicked, this,
            &PopoverViewController::inverseColorsHelpButtonClick);
    connect(ui.trueColorsHelpButton, &QToolButton::clicked, this, &PopoverViewController::trueColorsHelpButtonClick);
}

void PopoverViewController::refreshControls()
{
    Ui::PopoverView& ui = *ui_;
    buildRow();
    ui.startHourDatePickerOutlet->setPalette(lightPalette(ui.startHourDatePickerOutlet->palette()));
    ui.stopHourDatePickerOutlet->setPalette(lightPalette(ui.stopHourDatePickerOutlet->palette()));
    ui.scheduleCheckboxOutlet->setChecked(scheduleIsActive_);
    {
        // Filling the controls is no user action: it fires nothing.
        const QSignalBlocker startBlocker(ui.startHourDatePickerOutlet);
        const QSignalBlocker stopBlocker(ui.stopHourDatePickerOutlet);
        ui.startHourDatePickerOutlet->setDateTime(toDateTime(scheduleStart_));
        ui.stopHourDatePickerOutlet->setDateTime(toDateTime(scheduleStop_));
    }
    applyScheduleLook();
    ui.startAtLoginCheckboxOutlet->setChecked(startAtLogin_);
    ui.lunaveilCheckboxOutlet->setChecked(lightMonitorNowIsEnabled_);
    ui.inverseColorsCheckboxOutlet->setChecked(inverseColorsIsEnabled_);
    ui.trueColorsCheckboxOutlet->setChecked(trueColorsDisplay_);
    applyEffectsOffered();
    const QSignalBlocker sliderBlocker(ui.alphaSlideviewOutlet);
    ui.alphaSlideviewOutlet->setValue(qRound(currentSelectedBackgroundAlpha_));
}

void PopoverViewController::setEffectsOffered(const EffectsOffered& offered)
{
    effectsOffered_ = offered;
    if (isViewLoaded())
        applyEffectsOffered();
}

void PopoverViewController::applyEffectsOffered()
{
    const auto offer = [](QWidget* control, bool offered, const QString& why) {
        control->setEnabled(offered);
        control->setToolTip(offered ? QString() : why);
    };
    Ui::PopoverView& ui = *ui_;
    const QString trueColorsWhy = effectsOffered_.whyNoDisplayGamma && !effectsOffered_.displayGamma
                                      ? QString::fromStdString(effectsOffered_.whyNoDisplayGamma())
                                      : tr("True Colors needs display gamma, which this session does not offer");
    offer(ui.trueColorsCheckboxOutlet, effectsOffered_.displayGamma, trueColorsWhy);
    offer(ui.inverseColorsCheckboxOutlet, effectsOffered_.displayGamma,
          tr("Invert Colors needs display gamma, which this session does not offer"));
    offer(ui.lunaveilCheckboxOutlet, effectsOffered_.tint,
          tr("The tint needs display gamma or overlay windows, and this session offers neither"));
}

void PopoverViewController::buildRow()
{
    RoundedViewCheckGroup& row = *ui_->roundedViewCheckGroupOutlet;
    if (trueColorsDisplay_)
        row.initiate(trueColors_, displayTrueColors_, false, currentSelectedBackgroundColor_);
    else
        row.initiate(colors_, displayColors_, true, currentSelectedBackgroundColor_);
    const std::vector<QString> names
        = trueColorsDisplay_ ? PopoverColourTables::trueColorNames() : PopoverColourTables::colorNames();
    for (std::size_t i = 0; i < row.items().size() && i < names.size(); ++i)
        row.items()[i]->setAccessibleName(names[i]);
    applyTabOrder();
}

// Reading order, left to right and top to bottom; the swatches are new after every rebuild of
// the row, and new widgets would otherwise come last.
void PopoverViewController::applyTabOrder()
{
    Ui::PopoverView& ui = *ui_;
    std::vector<QWidget*> order{ui.lunaveilCheckboxOutlet, ui.menuButtonOutlet};
    const auto& swatches = ui.roundedViewCheckGroupOutlet->items();
    order.insert(order.end(), swatches.begin(), swatches.end());
    order.insert(order.end(), {ui.alphaSlideviewOutlet, ui.scheduleCheckboxOutlet, ui.startHourDatePickerOutlet,
                               ui.stopHourDatePickerOutlet, ui.trueColorsCheckboxOutlet, ui.trueColorsHelpButton,
                               ui.inverseColorsCheckboxOutlet, ui.inverseColorsHelpButton,
                               ui.startAtLoginCheckboxOutlet});
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void PopoverViewController::applyScheduleLook()
{
    Ui::PopoverView& ui = *ui_;
    if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(ui.scheduleDatesViewOutlet->graphicsEffect()))
        effect->setOpacity(scheduleIsActive_ ? scheduleOnOpacity : scheduleOffOpacity);
    ui.startHourDatePickerOutlet->setEnabled(scheduleIsActive_);
    ui.stopHourDatePickerOutlet->setEnabled(scheduleIsActive_);
    showScheduleTimes();
}

// The schedule's own times, or today's sunset and sunrise where the sun is followed: those
// are shown, never stored, and cannot be edited.
void PopoverViewController::showScheduleTimes()
{
    QDateTimeEdit* start = ui_->startHourDatePickerOutlet;
    QDateTimeEdit* stop = ui_->stopHourDatePickerOutlet;
    const QSignalBlocker startBlocker(start);
    const QSignalBlocker stopBlocker(stop);
    const bool sun = sunFollowing_.followsSun && sunFollowing_.place;
    start->setReadOnly(sun);
    stop->setReadOnly(sun);
    if (!sun) {
        start->setDateTime(toDateTime(scheduleStart_));
        stop->setDateTime(toDateTime(scheduleStop_));
        const QString why = sunFollowing_.followsSun
            ? tr("Sunset to Sunrise needs to know where you are, and %1; the times here are in force.")
                  .arg(QString::fromStdString(sunFollowing_.whyNoPlace))
            : QString();
        start->setToolTip(why.isEmpty() ? startToolTip_ : why);
        stop->setToolTip(why.isEmpty() ? stopToolTip_ : why);
        return;
    }
    const Coordinates& place = *sunFollowing_.place;
    const SunDay today = sunDayAt(place, systemNow());
    const QString where = tr("%1° %2, %3° %4")
                              .arg(QLocale().toString(std::abs(place.latitude), 'f', 2),
                                   place.latitude >= 0 ? tr("N") : tr("S"),
                                   QLocale().toString(std::abs(place.longitude), 'f', 2),
                                   place.longitude >= 0 ? tr("E") : tr("W"));
    QString toolTip;
    switch (today.kind) {
    case SunDay::Kind::RiseAndSet:
        start->setDateTime(toDateTime(today.sunset));
        stop->setDateTime(toDateTime(today.sunrise));
        toolTip = tr("Today's sunset and sunrise at %1").arg(where);
        break;
    case SunDay::Kind::PolarNight:
        toolTip = tr("Polar night at %1: the sun does not rise today, and the tint is on all day").arg(where);
        break;
    case SunDay::Kind::PolarDay:
        toolTip = tr("Polar day at %1: the sun does not set today, and the tint stays off").arg(where);
        break;
    }
    start->setToolTip(toolTip);
    stop->setToolTip(toolTip);
}

// The pickers follow the popover's text size (larger at 120 or 144 DPI) and stand right-aligned
// in their panel with the dash clear between them; a font too large for the panel is shrunk.
void PopoverViewController::layoutTimePickers()
{
    const bool twelveHour = usesTwelveHourClock(locale());
    QDateTimeEdit* start = ui_->startHourDatePickerOutlet;
    QDateTimeEdit* stop = ui_->stopHourDatePickerOutlet;
    QLabel* dash = ui_->scheduleDash;
    const int panelWidth = ui_->scheduleDatesViewOutlet->width();
    const int textPixelSize = QFontInfo(view_->font()).pixelSize();
    const int pickerPixelSize = twelveHour ? twelveHourPickerPixelSize : twentyFourHourPickerPixelSize;
    constexpr int popoverTextPixelSize = 12;
    constexpr int smallestPixelSize = 8;
    int width = 0;
    for (int pixelSize = std::max(smallestPixelSize, pickerPixelSize * textPixelSize / popoverTextPixelSize);
         pixelSize >= smallestPixelSize; --pixelSize) {
        for (QDateTimeEdit* picker : {start, stop}) {
            QFont font = picker->font();
            font.setWeight(QFont::Light);
            font.setPixelSize(pixelSize);
            if (picker->font() != font)
                picker->setFont(font);
            if (picker->displayFormat() != timeFormat(twelveHour)) {
                const QSignalBlocker blocker(picker);
                picker->setDisplayFormat(timeFormat(twelveHour));
            }
        }
        width = std::max(start->sizeHint().width(), stop->sizeHint().width());
        if (2 * width + dash->width() <= panelWidth)
            break;
    }
    const int stopX = panelWidth - width;
    const int dashX = stopX - dash->width();
    stop->setGeometry(stopX, stop->y(), width, stop->height());
    dash->move(dashX, dash->y());
    start->setGeometry(dashX - width, start->y(), width, start->height());
}

void PopoverViewController::setStatusLightShown(bool shown)
{
    ui_->lunaveilStatusLightViewOutlet->setVisible(shown);
}

void PopoverViewController::scheduleButtonClick()
{
    Ui::PopoverView& ui = *ui_;
    const bool on = isOn(*ui.scheduleCheckboxOutlet);
    // Where the pickers show the sun's times, the schedule's own stay as they are.
    const bool sunShown = ui.startHourDatePickerOutlet->isReadOnly();
    const TimePoint start = sunShown ? scheduleStart_ : toTimePoint(ui.startHourDatePickerOutlet->dateTime());
    const TimePoint stop = sunShown ? scheduleStop_ : toTimePoint(ui.stopHourDatePickerOutlet->dateTime());
    scheduleStart_ = start;
    scheduleStop_ = stop;
    scheduleIsActive_ = on;
    {
        const QSignalBlocker startBlocker(ui.startHourDatePickerOutlet);
        const QSignalBlocker stopBlocker(ui.stopHourDatePickerOutlet);
        ui.startHourDatePickerOutlet->setDateTime(toDateTime(scheduleStart_));
        ui.stopHourDatePickerOutlet->setDateTime(toDateTime(scheduleStop_));
    }
    applyScheduleLook();
    if (const auto callback = onScheduleIsActivePreferencesChanged)
        callback(scheduleIsActive_, start, stop);
}

// Either picker: the pickers can only change while the schedule is on.
void PopoverViewController::timePickerChanged()
{
    const TimePoint start = toTimePoint(ui_->startHourDatePickerOutlet->dateTime());
    const TimePoint stop = toTimePoint(ui_->stopHourDatePickerOutlet->dateTime());
    scheduleStart_ = start;
    scheduleStop_ = stop;
    if (const auto callback = onScheduleIsActivePreferencesChanged)
        callback(true, start, stop);
}

void PopoverViewController::loginButtonClick()
{
    if (const auto callback = onStartAtLoginPreferencesChanged)
        callback(isOn(*ui_->startAtLoginCheckboxOutlet));
}

void PopoverViewController::lunaveilButtonClick()
{
    const bool on = isOn(*ui_->lunaveilCheckboxOutlet);
    setStatusLightShown(on);
    if (const auto callback = onLightMonitorNowChanged)
        callback(on);
}

void PopoverViewController::alphaSliderChanged(int value)
{
    if (const auto callback = onBackgroundAlphaChanged)
        callback(static_cast<double>(value));
}

void PopoverViewController::inverseColorsCheckboxClick()
{
    if (const auto callback = onInverseColorsChanged)
        callback(isOn(*ui_->inverseColorsCheckboxOutlet));
}

void PopoverViewController::trueColorsCheckboxClick()
{
    trueColorsDisplay_ = isOn(*ui_->trueColorsCheckboxOutlet);
    buildRow();
    if (const auto callback = onBackgroundColorChanged)
        callback(std::nullopt, trueColorsDisplay_);
}

void PopoverViewController::inverseColorsHelpButtonClick()
{
    if (const auto callback = onInverseColorsHelpRequest)
        callback();
}

void PopoverViewController::trueColorsHelpButtonClick()
{
    if (const auto callback = onTrueColorsHelpRequest)
        callback();
}

void PopoverViewController::colorSelected(const Colour& colour)
{
    if (const auto callback = onBackgroundColorChanged)
        callback(colour, trueColorsDisplay_);
}

void PopoverViewController::customColorSelected(const Colour& colour)
{
    if (const auto callback = onBackgroundCustomColorSelected)
        callback(colour);
}

void PopoverViewController::showOptionsMenu()
{
    // A click that reaches the button while its menu is still open must not pull the menu away
    // from under its own event loop.
    if (optionsMenu_ && optionsMenu_->isVisible())
        return;
    optionsMenu_ = std::make_unique<OptionsMenu>();
    optionsMenu_->onHelpRequest = [this] { helpMenuButtonClick(); };
    optionsMenu_->onQuitRequest = [this] { quitApplicationMenuButtonClick(); };
    optionsMenu_->followSunAction()->setChecked(sunFollowing_.followsSun);
    optionsMenu_->onFollowSunToggled = [this](bool follows) {
        if (const auto callback = onScheduleFollowsSunChanged)
            callback(follows);
    };
    optionsMenu_->onLocationRequest = [this] { chooseLocation(); };
    optionsMenu_->popUp(ui_->menuButtonOutlet);
}

void PopoverViewController::chooseLocation()
{
    // Opened once the menu has closed, so that its event loop is not left running under the dialog.
    QTimer::singleShot(0, this, [this] {
        locationDialog_ = std::make_unique<LocationDialog>(sunFollowing_.placeSetByHand ? sunFollowing_.place
                                                                                         : std::nullopt);
        locationDialog_->onChosen = [this](std::optional<Coordinates> place) {
            if (const auto callback = onScheduleLocationChanged)
                callback(place);
        };
        locationDialog_->exec();
        locationDialog_.reset();
    });
}

void PopoverViewController::helpMenuButtonClick()
{
    if (const auto callback = onHelpRequest)
        callback();
}

void PopoverViewController::quitApplicationMenuButtonClick()
{
    if (const auto callback = onQuitRequest)
        callback();
}

}  // namespace lunaveil
