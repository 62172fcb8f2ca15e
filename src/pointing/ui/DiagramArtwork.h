// The pictures of the pointing diagram, drawn in code: the fixed background and the six sprite
// pictures the diagram turns. Every call paints a fresh QImage (ARGB32 premultiplied); only a
// QGuiApplication is needed, no window.
//
// Sprite orientation at angle 0, before the diagram turns a sprite clockwise about its centre:
// - dish pictures look toward the bottom of the picture (reflector behind, feed in front); in the
//   side views the reflector's aperture passes through the picture centre, which is the pivot;
// - the offset side view's disc axis points down, its beam 23 degrees from it toward +x, and the
//   LNB arm leaves the rim on the -x side (the lower rim once mounted);
// - the prime feed's circuit box points up-left at 45 degrees, the LNB's F connector down-right;
// - the hour hand points straight up from the centre.
#pragma once

#include "pointing/diagram/DiagramPlan.h"

#include <QImage>

namespace zorvast::pointing::ui {

// 777 x 288, opaque: panel, compass rose, watch face, feed plate and the side-view scene.
QImage diagramBackground();

// 180 x 180, the prime-focus dish; serves as its top view and its side view.
QImage primeDishPicture();
// 180 x 180, the offset dish seen from above.
QImage offsetDishTopPicture();
// 180 x 180, the offset dish seen from the side.
QImage offsetDishSidePicture();
// 145 x 145, the prime-focus feed horn and its circuit box, seen looking into the horn.
QImage primeFeedPicture();
// 97 x 97, the offset dish's LNB and its F connector, seen looking into the horn.
QImage offsetLnbPicture();
// 165 x 165, the watch hour hand, pivot at the picture centre.
QImage hourHandPicture();

// Where the background's artwork is centred, in canvas pixels.
namespace artwork {
inline constexpr double kCompassX = 144.0;
inline constexpr double kCompassY = 142.0;
inline constexpr double kCompassRadius = 88.0;
inline constexpr double kWatchX = 385.5;
inline constexpr double kWatchY = 105.5;
inline constexpr double kWatchRadius = 50.0;
inline constexpr double kFeedPlateX = 389.0;
inline constexpr double kFeedPlateY = 186.0;
inline constexpr double kFeedPlateRadius = 39.0;
inline constexpr double kSidePivotX = pointing::kSidePivotX;
inline constexpr double kSidePivotY = pointing::kSidePivotY;
inline constexpr double kGroundY = kSideGroundY;
inline constexpr double kHourHandLength = 41.0;
inline constexpr double kHourHandHubRadius = 5.0;
} // namespace artwork

} // namespace zorvast::pointing::ui
