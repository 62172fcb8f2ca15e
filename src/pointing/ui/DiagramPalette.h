// The colours of the pointing diagram's pictures beyond the shared artwork palette: the compass
// card, the watch, the sky and earth of the side view, and the parts of dishes and feeds.
#pragma once

#include <QColor>

namespace zorvast::pointing::ui {

struct DiagramPalette {
    QColor discShadow{40, 50, 60, 60};
    QColor discShadowEdge{40, 50, 60, 0};
    QColor grooveLight{255, 255, 255, 220};
    QColor bezelLight{238, 241, 245};
    QColor bezelShade{206, 213, 222};
    QColor rimGlint{255, 255, 255, 200};
    QColor cardEdge{241, 241, 235};
    QColor bearingCircle{200, 206, 214};
    QColor northPointLit{242, 206, 186};
    QColor rosePointLit{236, 239, 243};
    QColor northPointShaded{214, 146, 114};
    QColor rosePointShaded{210, 217, 226};
    QColor rosePointEdge{176, 184, 196};
    QColor roseHub{250, 250, 248};
    QColor hourBaton{84, 92, 104};
    QColor recessLight{206, 211, 218};
    QColor recessShade{168, 176, 188};
    QColor recessGlint{255, 255, 255, 150};
    QColor skyHigh{126, 154, 188};
    QColor skyMiddle{166, 188, 212};
    QColor skyLow{184, 200, 218};
    QColor scaleArc{255, 255, 255, 190};
    QColor scaleFigures{255, 255, 255, 235};
    QColor horizon{255, 255, 255, 170};
    QColor earthTop{164, 152, 130};
    QColor earthBottom{138, 126, 106};
    QColor earthHatch{112, 100, 82};
    QColor groundLine{92, 82, 66};
    QColor windowFrame{104, 124, 150};
    QColor bowlDeep{98, 110, 126};
    QColor bowlMiddle{176, 186, 198};
    QColor bowlNear{236, 240, 244};
    QColor bowlRing{150, 160, 172, 170};
    QColor stiffeningRing{120, 130, 144, 150};
    QColor boxGleam{255, 255, 255, 90};
    QColor scalarRing{60, 68, 80, 160};
    QColor hornLip{70, 78, 90};
    QColor lidEdge{20, 36, 58, 160};
    QColor lidGleam{255, 255, 255, 70};
    QColor chokeShadow{40, 48, 58, 120};
    QColor throatDeep{18, 22, 28};
    QColor throatMiddle{40, 46, 56};
    QColor throatEdge{84, 94, 108};
    QColor threadEdge{124, 88, 34, 170};
    QColor thread{124, 88, 34, 200};
    QColor hornInnerRing{40, 48, 58, 130};
    QColor capLight{120, 130, 144};
    QColor capMiddle{66, 74, 86};
    QColor capDark{36, 42, 50};
    QColor capGleam{255, 255, 255, 110};
    QColor capCentre{20, 24, 30, 150};
    QColor handLit{88, 122, 170};
    QColor handShaded{34, 56, 92};
    QColor handEdge{22, 34, 56};
    QColor inlayEdge{200, 190, 160};
    QColor inlay{246, 240, 220};
    QColor bossLight{120, 150, 192};
    QColor bossDark{28, 46, 78};
};

inline const DiagramPalette& diagramPalette() {
    static const DiagramPalette palette;
    return palette;
}

} // namespace zorvast::pointing::ui
