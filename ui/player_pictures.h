// The player bar's pictures, drawn here rather than shipped as bitmaps so
// they stay sharp at any scale: button glyphs come from SVG, the rest is
// painted. Sizes are the bar's logical pixels.
#pragma once

#include <QPixmap>
#include <QSize>

enum class PlayerGlyph { Play, Pause, Stop, Backward, Forward, Sound, Muted };

// 24x96: the glyph on four frames (normal, hover, pressed, disabled).
QPixmap ButtonFrames(PlayerGlyph glyph, qreal dpr);

struct SliderPictures {
  QPixmap leftEnd, rightEnd;  // end width x height
  QPixmap trackDone;          // left of the thumb, stretched
  QPixmap trackLeft;          // right of the thumb, stretched
  QPixmap thumb;
  QSize thumbSize;            // 12x11 seek, 10x8 volume
};

// Cached per kind and pixel ratio.
const SliderPictures& SliderPicturesFor(bool seek, qreal dpr);

QPixmap BarBackground(int height, qreal dpr);  // 1 x height, stretched over the bar
QPixmap SizingGrip(qreal dpr);                 // 9x9
