#pragma once
// A small stroke alphabet of our own for the syllable names on the hand
// signs: round geometric lower-case letters drawn as centre lines, so they
// look the same everywhere (no system font is involved).
#include <QPainterPath>
#include <QPointF>
#include <QString>

namespace artgen {

// The centre line of text (letters d e f i l m o r s t a and ') with its
// baseline starting at origin; xHeight is the height of an "o".
QPainterPath LetteringPath(const QString& text, QPointF origin, double xHeight);
// Width of that text, from the origin to the right edge of its last stroke's
// centre line.
double LetteringWidth(const QString& text, double xHeight);

} // namespace artgen
