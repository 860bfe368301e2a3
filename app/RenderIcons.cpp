// Renders the application icon's SVG into the PNG sizes beside it: render_icons SVG FOLDER writes
// FOLDER/folioport-N.png for every N in 16, 22, 24, 32, 48, 64, 128, 256, 512. Run by scripts/render-icons.sh.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: render_icons SVG FOLDER\n";
        return 2;
    }
    QGuiApplication application(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::cerr << "render_icons: cannot read " << argv[1] << "\n";
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        const QString file = QStringLiteral("%1/folioport-%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(size);
        if (!image.save(file)) {
            std::cerr << "render_icons: cannot write " << file.toStdString() << "\n";
            return 1;
        }
    }
    return 0;
}
