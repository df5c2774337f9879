#include "app/ApplicationLooks.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace {

constexpr uint32_t LOOK_CLASSIC = 205;  // Windows 2000: Qt's classic "Windows" style
constexpr uint32_t LOOK_PLATFORM = 210; // the default: the platform's own style
constexpr uint32_t LOOK_LIGHT = 215;    // Office 2007 blue: Fusion, light
constexpr uint32_t LOOK_DARK = 216;     // Office 2007 black: Fusion, dark

QPalette DarkPalette() {
    QPalette p;
    const QColor window(53, 53, 53), base(35, 35, 35), text(220, 220, 220);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(127, 127, 127));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(127, 127, 127));
    return p;
}

// The style the program started with, before any look was applied.
const QString& PlatformStyleName() {
    static const QString name = QApplication::style() ? QApplication::style()->name() : QString();
    return name;
}

} // namespace

const std::vector<AppLookEntry>& ApplicationLooks() {
    static const std::vector<AppLookEntry> looks = {
        {LOOK_PLATFORM, "&Platform style"},
        {LOOK_CLASSIC, "&Classic"},
        {LOOK_LIGHT, "Fusion &light"},
        {LOOK_DARK, "Fusion &dark"},
    };
    return looks;
}

uint32_t OfferedLook(uint32_t id) {
    for (const AppLookEntry& look : ApplicationLooks())
        if (look.id == id)
            return id;
    return LOOK_PLATFORM;
}

void ApplyApplicationLook(uint32_t id) {
    const QString platform = PlatformStyleName();
    switch (OfferedLook(id)) {
    case LOOK_CLASSIC:
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
        QApplication::setPalette(QApplication::style()->standardPalette());
        break;
    case LOOK_LIGHT:
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(QApplication::style()->standardPalette());
        break;
    case LOOK_DARK:
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(DarkPalette());
        break;
    default:
        if (QStyle* style = QStyleFactory::create(platform))
            QApplication::setStyle(style);
        QApplication::setPalette(QApplication::style()->standardPalette());
        break;
    }
}
