#include "ui/Spinner.h"

#include <QPainter>
#include <QVariantAnimation>

#include <algorithm>

#include "ui/Style.h"

namespace folioport::ui {

Spinner::Spinner(int diameter, QWidget* parent)
    : QWidget(parent), diameter_(diameter), rotation_(new QVariantAnimation(this)) {
    setObjectName(QStringLiteral("spinner"));
    setAccessibleName(tr("Loading"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    rotation_->setStartValue(0.0);
    rotation_->setEndValue(360.0);
    rotation_->setDuration(900);
    rotation_->setLoopCount(-1);
    connect(rotation_, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
}

void Spinner::setSpinning(bool spinning) {
    spinning_ = spinning;
    syncAnimation();
    update();
}

bool Spinner::isAnimating() const { return rotation_->state() == QAbstractAnimation::Running; }

QSize Spinner::sizeHint() const { return {diameter_, diameter_}; }

void Spinner::paintEvent(QPaintEvent*) {
    if (!spinning_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = std::max(1.5, diameter_ / 8.0);
    const int side = std::min(width(), height());
    const QRectF ring = QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side)
                            .adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    QColor track = colourOf(Tint::secondary, palette());
    track.setAlphaF(track.alphaF() * 0.35f);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(ring);
    painter.setPen(QPen(colourOf(Tint::secondary, palette()), pen, Qt::SolidLine, Qt::RoundCap));
    const int start = -static_cast<int>(rotation_->currentValue().toDouble() * 16);
    painter.drawArc(ring, start, 100 * 16);
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    syncAnimation();
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    syncAnimation();
}

void Spinner::syncAnimation() {
    const bool run = spinning_ && isVisible();
    if (run && !isAnimating()) rotation_->start();
    if (!run) rotation_->stop();
}

}  // namespace folioport::ui
