#include "app/AppIcons.h"

namespace folioport {

QIcon applicationIcon() {
    QIcon icon(QStringLiteral(":/folioport/folioport.svg"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        icon.addFile(QStringLiteral(":/folioport/png/folioport-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QIcon documentSymbol() {
    return QIcon::fromTheme(QStringLiteral("text-x-generic"), QIcon(QStringLiteral(":/folioport/text-x-generic.svg")));
}

}  // namespace folioport
