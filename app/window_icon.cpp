#include "window_icon.h"

namespace zarn {

QIcon windowIcon() {
    // The drawing scales to any size where Qt has its SVG plugin; without the plugin it is
    // passed over, and the rendered sizes, which Qt reads by itself, still give the icon.
    QIcon icon(QStringLiteral(":/icons/zarn1-ps-repair.svg"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/zarn1-ps-repair.png").arg(size),
                     QSize(size, size));
    return icon;
}

}  // namespace zarn
