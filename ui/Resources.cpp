#include "Resources.h"

// Outside any namespace, as the resource system asks.
static void InitResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(chromaport);
        return true;
    }();
    (void)done;
}

QIcon AppIcon() {
    InitResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/chromaport/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QPixmap LogoPixmap(qreal devicePixelRatio) {
    InitResources();
    QPixmap logo(devicePixelRatio > 1.0 ? QStringLiteral(":/chromaport/logo@2x.png")
                                        : QStringLiteral(":/chromaport/logo.png"));
    logo.setDevicePixelRatio(devicePixelRatio > 1.0 ? 2.0 : 1.0);
    return logo;
}
