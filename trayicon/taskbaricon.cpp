#include "taskbaricon.h"

#include "propertybag.h"
#include "runtimeerror.h"

#include <QDebug>
#include <cmath>
#include <limits>

namespace {

std::uint32_t nextWindowHandle()
{
    static std::uint32_t next = 0x10000;
    return next++;
}

constexpr std::int32_t kStoreLimit = std::numeric_limits<std::int16_t>::max();
constexpr std::int32_t kSizeTwips = 480;
constexpr int kElementMissing = 340;

// A store index as the control array takes it: a 16-bit signed integer.
std::int16_t storeIndex(std::int32_t index)
{
    if (index < std::numeric_limits<std::int16_t>::min() || index > kStoreLimit)
        throw RuntimeError(RuntimeError::Overflow);
    return std::int16_t(index);
}

RuntimeError elementMissing(std::int32_t index)
{
    return RuntimeError(kElementMissing,
                        QStringLiteral("Control array element '%1' doesn't exist").arg(index));
}

// Runs a timer's step; an error raised there has no caller to go to, so it stops
// that timer and is reported instead of unwinding through the event loop.
template <typename Step> void runStep(QTimer& timer, Step step)
{
    try {
        step();
    } catch (const RuntimeError& e) {
        timer.stop();
        qWarning("TaskBarIcon: %s", qPrintable(e.message()));
    }
}

} // namespace

TaskBarIcon::TaskBarIcon(NotifyArea& notifyArea, QObject* parent)
    : QObject(parent), m_notifyArea(notifyArea), m_windowHandle(nextWindowHandle())
{
    // The control's own layout: both timers off, the flash timer at 500 ms, the
    // animation timer at 0, and the store's template element.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer2.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(500);
    Timer2.setInterval(0);
    AnimatePicture.emplace(0, Picture());
    m_notifyArea.setMouseHandler([this](int message) { deliverMouseReport(message); });
    connect(&Timer1, &QTimer::timeout, this,
            [this] { runStep(Timer1, [this] { Timer1_Timer(); }); });
    connect(&Timer2, &QTimer::timeout, this,
            [this] { runStep(Timer2, [this] { Timer2_Timer(); }); });
}

TaskBarIcon::~TaskBarIcon()
{
    m_notifyArea.setMouseHandler({});
    // Terminate: a registered icon leaves the notification area with the control.
    // Enabled is not changed and nothing is notified.
    if (isRegistered())
        m_notifyArea.notify(NotifyMessage::Delete, IconData);
}

bool TaskBarIcon::IsIconPicture(const PictureRef& picture)
{
    return picture.has_value() && picture->type() == Picture::Type::Icon;
}

void TaskBarIcon::modifyIcon(const PictureRef& picture)
{
    IconData.hIcon = picture ? picture->handle() : 0;
    m_notifyArea.notify(NotifyMessage::Modify, IconData);
}

void TaskBarIcon::startTimer(QTimer& timer, std::int32_t interval)
{
    // A timer with an interval of 0 or less never fires.
    timer.setInterval(interval);
    if (interval > 0)
        timer.start();
    else
        timer.stop();
}

// --- registration -------------------------------------------------------------------

void TaskBarIcon::letEnabled(Boolean New_Enabled)
{
    if (New_Enabled == m_Enabled)
        return;
    SetIconVisible(New_Enabled);
}

void TaskBarIcon::SetIconVisible(Boolean show)
{
    const bool iconOk = IsIconPicture(m_BaseIcon);
    if (show.isNonZero() && iconOk) {
        IconData.cbSize = sizeof(NotifyIconData);
        IconData.hWnd = m_windowHandle;
        IconData.uID = 1;
        IconData.uFlags = NotifyFlags::Message | NotifyFlags::Icon | NotifyFlags::Tip;
        IconData.uCallbackMessage = MouseMessage::Move;
        IconData.hIcon = m_BaseIcon->handle();
        IconData.setTip(m_Tip);
        m_notifyArea.notify(NotifyMessage::Add, IconData);
        m_Enabled = show;
        Q_EMIT propertyChanged(QStringLiteral("Enabled"));
    } else if (show.isFalse()) {
        m_Enabled = False;
        Q_EMIT propertyChanged(QStringLiteral("Enabled"));
        letFlash(False);
        letAnimate(False);
        m_notifyArea.notify(NotifyMessage::Delete, IconData);
    }
    // Shown without an icon to show: nothing happens.
}

void TaskBarIcon::letBaseIcon(const PictureRef& New_BaseIcon)
{
    if (!IsIconPicture(New_BaseIcon))
        letEnabled(False);
    m_BaseIcon = New_BaseIcon;
    Q_EMIT propertyChanged(QStringLiteral("BaseIcon"));
    if (IsIconPicture(m_BaseIcon) && m_userMode && isRegistered() && m_Flash.isFalse() &&
        m_Animate.isFalse())
        modifyIcon(m_BaseIcon);
}

void TaskBarIcon::letTip(const QString& New_Tip)
{
    m_Tip = New_Tip;
    Q_EMIT propertyChanged(QStringLiteral("Tip"));
    if (m_userMode && isRegistered()) {
        IconData.setTip(m_Tip);
        m_notifyArea.notify(NotifyMessage::Modify, IconData);
    }
}

// --- flashing -----------------------------------------------------------------------

void TaskBarIcon::letFlashTime(std::int32_t New_FlashTime)
{
    m_FlashTime = New_FlashTime;
    Q_EMIT propertyChanged(QStringLiteral("FlashTime"));
}

void TaskBarIcon::letFlashIcon(const PictureRef& New_FlashIcon)
{
    if (!IsIconPicture(New_FlashIcon))
        letFlash(False);
    m_FlashIcon = New_FlashIcon;
    Q_EMIT propertyChanged(QStringLiteral("FlashIcon"));
}

void TaskBarIcon::letFlash(Boolean New_Flash)
{
    if (New_Flash == m_Flash)
        return;
    const bool ok = IsIconPicture(m_FlashIcon);
    // Only exactly True (-1) starts; another non-zero value neither starts nor stops.
    if (isRegistered() && New_Flash.isExactlyTrue() && m_Animate.isFalse() && ok) {
        FlashToggle = True;
        startTimer(Timer1, m_FlashTime);
        m_Flash = True;
        Q_EMIT propertyChanged(QStringLiteral("Flash"));
    } else if (New_Flash.isFalse()) {
        Timer1.stop();
        m_Flash = False;
        Q_EMIT propertyChanged(QStringLiteral("Flash"));
        modifyIcon(m_BaseIcon);
    }
}

void TaskBarIcon::Timer1_Timer()
{
    if (FlashToggle.isNonZero()) {
        IconData.hIcon = m_FlashIcon ? m_FlashIcon->handle() : 0;
        FlashToggle = False;
    } else {
        IconData.hIcon = m_BaseIcon ? m_BaseIcon->handle() : 0;
        FlashToggle = True;
    }
    m_notifyArea.notify(NotifyMessage::Modify, IconData);
}

// --- animation and the icon store ---------------------------------------------------------

void TaskBarIcon::letAnimationTime(std::int32_t New_AnimationTime)
{
    m_AnimationTime = New_AnimationTime;
    Q_EMIT propertyChanged(QStringLiteral("AnimationTime"));
}

void TaskBarIcon::letAnimate(Boolean New_Animate)
{
    if (New_Animate == m_Animate)
        return;
    if (m_Flash.isFalse() && isRegistered() && m_PictureIndex >= 1 && New_Animate.isNonZero()) {
        startTimer(Timer2, m_AnimationTime);
        m_Animate = True;
        Q_EMIT propertyChanged(QStringLiteral("Animate"));
    } else if (New_Animate.isFalse()) {
        Timer2.stop();
        modifyIcon(m_BaseIcon);
        m_Animate = False;
        Q_EMIT propertyChanged(QStringLiteral("Animate"));
    }
}

void TaskBarIcon::letAddIcon(const PictureRef& New_AddIcon)
{
    if (!m_userMode)
        throw RuntimeError(RuntimeError::SetNotSupported);
    m_AddIcon = New_AddIcon;
    Q_EMIT propertyChanged(QStringLiteral("AddIcon"));
    if (!IsIconPicture(m_AddIcon))
        return;
    // The count is 32 bits and the store's index 16 bits: the 32768th icon
    // overflows. On any failure the count is left as it was, so it still matches
    // the store.
    if (m_PictureIndex == std::numeric_limits<std::int32_t>::max())
        throw RuntimeError(RuntimeError::Overflow);
    const std::int32_t next = m_PictureIndex + 1;
    const std::int16_t element = storeIndex(next);
    if (element < 1) // a negative count restored from saved properties
        throw elementMissing(next);
    AnimatePicture[element] = *m_AddIcon;
    m_PictureIndex = next;
}

void TaskBarIcon::letPictureIndex(std::int32_t)
{
    throw RuntimeError(m_userMode ? RuntimeError::SetNotSupportedAtRuntime
                                  : RuntimeError::SetNotPermitted);
}

Boolean TaskBarIcon::ResetIcons()
{
    if (m_PictureIndex == 0)
        return False;
    storeIndex(m_PictureIndex); // a count beyond the 16-bit index overflows
    // Every run-time element goes, also any left over from a count restored from
    // saved properties; element 0 stays.
    AnimatePicture.erase(AnimatePicture.upper_bound(0), AnimatePicture.end());
    m_PictureIndex = 0;
    return False;
}

void TaskBarIcon::Timer2_Timer()
{
    if (m_PictureIndex <= 0)
        return;
    if (AnimationFrame == std::numeric_limits<std::int32_t>::max())
        throw RuntimeError(RuntimeError::Overflow);
    ++AnimationFrame;
    if (AnimationFrame > m_PictureIndex)
        AnimationFrame = 1;
    // A count restored from saved properties may name elements that were never
    // created.
    const auto it = AnimatePicture.find(storeIndex(AnimationFrame));
    if (it == AnimatePicture.end())
        throw elementMissing(AnimationFrame);
    modifyIcon(it->second);
}

// --- mouse reports and events ------------------------------------------------------------

void TaskBarIcon::deliverMouseReport(int message)
{
    std::int16_t button = 1;
    std::int16_t shift = 0;
    float x = float(message);
    float y = 0.0f;
    if (m_scaleMode != Pixels) {
        x *= m_twipsPerPixelX;
        y *= m_twipsPerPixelX;
    }
    UserControl_MouseMove(button, shift, x, y);
}

void TaskBarIcon::UserControl_MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X,
                                        float& Y)
{
    if (m_scaleMode != Pixels)
        X = X / m_twipsPerPixelX;
    if (X == float(MouseMessage::LeftButtonUp))
        Q_EMIT LeftClick(Button, Shift, X, Y);
    else if (X == float(MouseMessage::LeftButtonDoubleClick))
        Q_EMIT LeftDbClick(Button, Shift, X, Y);
    else if (X == float(MouseMessage::RightButtonUp))
        Q_EMIT RightClick(Button, Shift, X, Y);
    else if (X == float(MouseMessage::RightButtonDoubleClick))
        Q_EMIT RightDbClick(Button, Shift, X, Y);
}

// --- saved properties ---------------------------------------------------------------------

namespace {

bool isNumber(const QVariant& v)
{
    return PropertyBag::isNumber(v);
}

bool isText(const QVariant& v)
{
    return v.metaType() == QMetaType::fromType<QString>() ||
           v.metaType() == QMetaType::fromType<QByteArray>();
}

// The number a value stands for: numbers as they are, a Boolean as 0 or -1, text
// that reads as a finite number (surrounding spaces allowed). Anything else,
// including "nan" and "inf", is a type mismatch.
double toNumber(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<bool>())
        return v.toBool() ? -1.0 : 0.0;
    bool ok = false;
    double d = 0;
    if (isNumber(v))
        d = v.toDouble(&ok);
    else if (isText(v))
        d = v.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw RuntimeError(RuntimeError::TypeMismatch);
    return d;
}

// A saved picture: nothing stays nothing, a picture object is taken as it is;
// anything else is not a picture.
PictureRef toPicture(const QVariant& v)
{
    if (!v.isValid() || v.metaType() == QMetaType::fromType<std::nullptr_t>())
        return std::nullopt;
    if (v.metaType() == QMetaType::fromType<Picture>())
        return v.value<Picture>();
    throw RuntimeError(RuntimeError::TypeMismatch);
}

// A saved Boolean: any non-zero number is True (-1), zero False; text may also
// be "True" or "False" in any case.
Boolean toBoolean(const QVariant& v)
{
    if (isText(v)) {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return True;
        if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return False;
    }
    return toNumber(v) != 0 ? True : False;
}

// A saved 32-bit integer: rounded to the nearest whole number, halves to even;
// outside the 32-bit range it overflows.
std::int32_t toLong(const QVariant& v)
{
    const double r = std::nearbyint(toNumber(v));
    if (r < std::numeric_limits<std::int32_t>::min() ||
        r > std::numeric_limits<std::int32_t>::max())
        throw RuntimeError(RuntimeError::Overflow);
    return std::int32_t(r);
}

// Saved text: text as it is, a number in its shortest form, a Boolean as "True" or
// "False". A picture is not text.
QString toText(const QVariant& v)
{
    if (!v.isValid())
        return QString();
    if (isText(v))
        return v.toString();
    if (v.metaType() == QMetaType::fromType<bool>())
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (isNumber(v))
        return QString::number(v.toDouble(), 'g', 15);
    throw RuntimeError(RuntimeError::TypeMismatch);
}

QVariant fromPicture(const PictureRef& p)
{
    return p ? QVariant::fromValue(*p) : QVariant();
}

} // namespace

void TaskBarIcon::InitProperties()
{
    // Three separate loads from the empty file name: three empty pictures.
    m_BaseIcon = Picture::load(QString());
    m_FlashIcon = Picture::load(QString());
    m_AddIcon = Picture::load(QString());
    m_Enabled = False;
    m_Tip.clear();
    m_Flash = False;
    m_Animate = False;
    m_AnimationTime = 500;
    m_FlashTime = 500;
    m_PictureIndex = 0;
}

void TaskBarIcon::ReadProperties(const PropertyBag& bag)
{
    // Values go straight into the fields: no property procedure runs, so nothing is
    // registered, started or notified.
    const QVariant noPicture;
    const QVariant zero = QVariant::fromValue<qint16>(0);
    const QVariant fiveHundred = QVariant::fromValue<qint16>(500);
    m_AddIcon = toPicture(bag.ReadProperty(QStringLiteral("AddIcon"), noPicture));
    m_BaseIcon = toPicture(bag.ReadProperty(QStringLiteral("BaseIcon"), noPicture));
    m_FlashIcon = toPicture(bag.ReadProperty(QStringLiteral("FlashIcon"), noPicture));
    m_Enabled = toBoolean(bag.ReadProperty(QStringLiteral("Enabled"), zero));
    m_Tip = toText(bag.ReadProperty(QStringLiteral("Tip"), QString()));
    m_Flash = toBoolean(bag.ReadProperty(QStringLiteral("Flash"), zero));
    m_Animate = toBoolean(bag.ReadProperty(QStringLiteral("Animate"), zero));
    m_AnimationTime = toLong(bag.ReadProperty(QStringLiteral("AnimationTime"), fiveHundred));
    m_FlashTime = toLong(bag.ReadProperty(QStringLiteral("FlashTime"), fiveHundred));
    m_PictureIndex = toLong(bag.ReadProperty(QStringLiteral("PictureIndex"), zero));
}

void TaskBarIcon::WriteProperties(PropertyBag& bag) const
{
    const QVariant noPicture;
    const QVariant zero = QVariant::fromValue<qint16>(0);
    const QVariant fiveHundred = QVariant::fromValue<qint16>(500);
    bag.WriteProperty(QStringLiteral("BaseIcon"), fromPicture(m_BaseIcon), noPicture);
    bag.WriteProperty(QStringLiteral("FlashIcon"), fromPicture(m_FlashIcon), noPicture);
    bag.WriteProperty(QStringLiteral("AddIcon"), fromPicture(m_AddIcon), noPicture);
    bag.WriteProperty(QStringLiteral("Enabled"), m_Enabled.isNonZero(), zero);
    bag.WriteProperty(QStringLiteral("Tip"), m_Tip, QString());
    bag.WriteProperty(QStringLiteral("Flash"), m_Flash.isNonZero(), zero);
    bag.WriteProperty(QStringLiteral("Animate"), m_Animate.isNonZero(), zero);
    bag.WriteProperty(QStringLiteral("AnimationTime"), m_AnimationTime, fiveHundred);
    bag.WriteProperty(QStringLiteral("FlashTime"), m_FlashTime, fiveHundred);
    bag.WriteProperty(QStringLiteral("PictureIndex"), m_PictureIndex, zero);
}

// --- size ---------------------------------------------------------------------------------

void TaskBarIcon::setExtent(std::int32_t width, std::int32_t height)
{
    m_Width = width;
    m_Height = height;
    Resize();
}

void TaskBarIcon::Resize()
{
    m_Width = kSizeTwips;
    m_Height = kSizeTwips;
}
