// One palette for every picture the program draws (the pointing diagram and the logo): brushed
// steel, painted steel blue, brass, and a warm accent for reference marks.
#pragma once

#include <QColor>

namespace zorvast::common::ui {

struct ArtworkPalette {
    QColor panelTop{247, 247, 244};
    QColor panelBottom{235, 236, 232};
    QColor frame{150, 160, 172};
    QColor groove{190, 196, 204};
    QColor ink{52, 60, 72};
    QColor inkSoft{118, 128, 142};
    QColor outline{50, 58, 70};
    QColor steelHigh{246, 248, 250};
    QColor steelLight{222, 227, 233};
    QColor steel{184, 192, 202};
    QColor steelMid{148, 158, 171};
    QColor steelDark{96, 107, 121};
    QColor blueLight{132, 166, 204};
    QColor blue{72, 110, 152};
    QColor blueDark{36, 60, 92};
    QColor brassLight{240, 210, 140};
    QColor brass{198, 152, 70};
    QColor brassDark{124, 88, 34};
    QColor accent{184, 78, 40};
    QColor dialLight{253, 252, 248};
    QColor dialShade{238, 236, 228};
};

inline const ArtworkPalette& artworkPalette() {
    static const ArtworkPalette palette;
    return palette;
}

} // namespace zorvast::common::ui
