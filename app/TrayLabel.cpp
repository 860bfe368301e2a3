#include "app/TrayLabel.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

namespace folioport {

namespace {

constexpr int traySizes[] = {16, 22, 24, 32, 48, 64};

/// The symbol with the key on a blue badge across its lower half, the font shrunk (then the text elided)
/// to fit the width.
QPixmap badged(const QIcon& symbol, const QString& keyText, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(0, 0, symbol.pixmap(size, size));
    const QRectF badge(0, size * 0.5, size, size * 0.5);
    QFont font;
    font.setBold(true);
    int pixelSize = static_cast<int>(badge.height() * 0.85);
    font.setPixelSize(pixelSize);
    while (pixelSize > 6 && QFontMetrics(font).horizontalAdvance(keyText) > size - 2) font.setPixelSize(--pixelSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0xd6));
    painter.drawRoundedRect(badge, size / 8.0, size / 8.0);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QFontMetrics(font).elidedText(keyText, Qt::ElideRight, size - 2));
    return pixmap;
}

}  // namespace

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
