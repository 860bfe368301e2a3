#include "ui/Symbols.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <array>

// why: the drawings live in this static library, whose resource initialiser the linker would drop.
static void loadBundledSymbols() { Q_INIT_RESOURCE(symbols); }

namespace folioport::ui {
namespace {

struct SymbolSource {
    const char* resource;
    std::array<const char*, 3> themeNames;  // first present wins; unused places are null
};

SymbolSource sourceOf(Symbol symbol) {
    switch (symbol) {
        case Symbol::document: return {"document", {"text-x-generic"}};
        case Symbol::plusCircle: return {"plus-circle", {"list-add", "document-new"}};
        case Symbol::magnifier: return {"magnifier", {"edit-find", "system-search"}};
        case Symbol::refresh: return {"refresh", {"view-refresh"}};
        case Symbol::gear: return {"gear", {"preferences-system", "configure"}};
        case Symbol::updateArrow: return {"update-arrow", {"software-update-available", "system-software-update"}};
        case Symbol::grid: return {"grid", {"view-grid", "view-app-grid"}};
        case Symbol::checkmark: return {"checkmark", {"object-select", "dialog-ok-apply"}};
        case Symbol::warning: return {"warning", {"dialog-warning"}};
        case Symbol::clock: return {"clock", {"clock", "appointment-soon"}};
        case Symbol::pencil: return {"pencil", {"document-edit", "accessories-text-editor"}};
        case Symbol::ellipsis: return {"ellipsis", {"view-more", "overflow-menu", "open-menu"}};
        case Symbol::browser: return {"browser", {"internet-web-browser", "web-browser"}};
        case Symbol::copy: return {"copy", {"edit-copy"}};
        case Symbol::copyFilled: return {"copy-filled", {"edit-copy"}};
        case Symbol::textFormat: return {"text-format", {"insert-text", "format-text-bold"}};
        case Symbol::newChild: return {"new-child", {"document-new", "list-add"}};
        case Symbol::trash: return {"trash", {"user-trash", "edit-delete"}};
        case Symbol::linkPlus: return {"link-plus", {"insert-link"}};
    }
    return {"document", {}};
}

/// Paints a one-colour SVG in the current colour of a tint; disabled icons are faded.
class TintedSvgEngine final : public QIconEngine {
public:
    TintedSvgEngine(QString resource, Tint tint) : resource_(std::move(resource)), tint_(tint) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap pixmap = scaledPixmap(rect.size(), mode, state, scale);
        painter->drawPixmap(rect, pixmap);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        QColor colour = colourOf(tint_, QGuiApplication::palette());
        if (mode == QIcon::Disabled) colour.setAlphaF(colour.alphaF() * 0.4f);
        const QSize pixels = size * scale;
        const QString key = QStringLiteral("folioport-symbol:%1:%2x%3:%4")
                                .arg(resource_).arg(pixels.width()).arg(pixels.height()).arg(colour.rgba(), 0, 16);
        QPixmap pixmap;
        if (!QPixmapCache::find(key, &pixmap)) {
            pixmap = QPixmap::fromImage(render(pixels, colour));
            QPixmapCache::insert(key, pixmap);
        }
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    QIconEngine* clone() const override { return new TintedSvgEngine(resource_, tint_); }
    QString key() const override { return QStringLiteral("folioport-tinted-svg"); }

private:
    QImage render(const QSize& pixels, const QColor& colour) const {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        QSvgRenderer(resource_).render(&painter, QRectF(QPointF(0, 0), pixels));
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour);
        return image;
    }

    QString resource_;
    Tint tint_;
};

}  // namespace

QIcon bundledSymbolIcon(Symbol symbol, Tint tint) {
    static const bool loaded = (loadBundledSymbols(), true);
    Q_UNUSED(loaded);
    return QIcon(new TintedSvgEngine(
        QStringLiteral(":/folioport/symbols/%1.svg").arg(QLatin1String(sourceOf(symbol).resource)), tint));
}

QIcon symbolIcon(Symbol symbol, Tint tint) {
    for (const char* name : sourceOf(symbol).themeNames)
        if (name && QIcon::hasThemeIcon(QLatin1String(name))) return QIcon::fromTheme(QLatin1String(name));
    return bundledSymbolIcon(symbol, tint);
}

}  // namespace folioport::ui
