#include "app/TrayLabel.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace folioport {

namespace {

constexpr int traySizes[] = {16, 22, 24, 32, 48, 64};
/// Below this the symbol takes the room the key needs to be read.
constexpr int smallestWithSymbol = 22;
constexpr int smallestFontPixels = 6;
/// The narrowest the key's letters are drawn, as a share of their width: beside the symbol, and alone.
constexpr qreal narrowestWithSymbol = 0.75;
constexpr qreal narrowestAlone = 0.6;

/// The symbol with the key on a blue badge, as `badgeLayout` places it.
QPixmap badged(const QIcon& symbol, const QString& keyText, int size) {
    const BadgeLayout layout = badgeLayout(keyText, size);
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (layout.withSymbol) painter.drawPixmap(0, 0, symbol.pixmap(size, size));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0xd6));
    painter.drawRoundedRect(layout.area, size / 8.0, size / 8.0);
    painter.setFont(layout.font);
    painter.setPen(Qt::white);
    painter.translate(layout.area.center());
    painter.scale(layout.squeeze, 1);
    const qreal width = layout.area.width() / layout.squeeze;
    painter.drawText(QRectF(-width / 2, -layout.area.height() / 2, width, layout.area.height()), Qt::AlignCenter,
                     layout.text);
    return pixmap;
}

}  // namespace

BadgeLayout badgeLayout(const QString& keyText, int size) {
    const bool withSymbol = size >= smallestWithSymbol;
    const QRectF area = withSymbol ? QRectF(0, size * 0.5, size, size * 0.5) : QRectF(0, 0, size, size);
    const qreal room = size - 2;
    const qreal narrowest = withSymbol ? narrowestWithSymbol : narrowestAlone;
    QFont font;
    font.setBold(true);
    int pixelSize = static_cast<int>(area.height() * (withSymbol ? 0.85 : 0.6));
    font.setPixelSize(pixelSize);
    // why: one measure, in exact units, decides both whether the key fits and where it is cut.
    qreal width = QFontMetricsF(font).horizontalAdvance(keyText);
    while (pixelSize > smallestFontPixels && width * narrowest > room) {
        font.setPixelSize(--pixelSize);
        width = QFontMetricsF(font).horizontalAdvance(keyText);
    }
    if (width * narrowest <= room) return {area, font, std::min(1.0, room / width), keyText, withSymbol};
    return {area, font, narrowest, QFontMetricsF(font).elidedText(keyText, Qt::ElideRight, room / narrowest),
            withSymbol};
}

QString trayKeyText(const ConfluenceConfig& config, const std::string& spaceKey) {
    return config.isComplete() ? QString::fromStdString(spaceKey).trimmed().toUpper() : QString();
}

QString trayToolTip(const QString& keyText, bool demo) {
    QString tip = demo ? QStringLiteral("Folioport Demo") : QStringLiteral("Folioport");
    if (!keyText.isEmpty()) tip += QStringLiteral(" · ") + keyText;
    return tip;
}

QIcon trayIcon(const QIcon& symbol, const QString& keyText) {
    if (keyText.isEmpty()) return symbol;
    QIcon icon;
    for (int size : traySizes) icon.addPixmap(badged(symbol, keyText, size));
    return icon;
}

}  // namespace folioport
