// The solfege hand signs in the Curwen manner, one picture per degree of the
// major scale and a blank one, at 280 x 240 and at twice that size.
//
// They are watched over video calls, often small and blurred, so each sign is
// a bold silhouette first: a skin-coloured hand with a thick dark outline on a
// light ground, the forearm in a sleeve coming in from the edge. The hand sits
// higher as the degree rises, which a ladder at the right repeats, and the
// syllable is written in the corner.
#include "res/artgen/ArtGen.h"

#include "res/artgen/ArtColours.h"
#include "res/artgen/ArtPalette.h"
#include "res/artgen/Lettering.h"
#include "res/artgen/Shapes.h"
#include "res/artgen/SuperCanvas.h"

#include <QColor>
#include <QPainter>
#include <QPen>

#include <cmath>

namespace artgen {

namespace {

constexpr int kWidth = 280, kHeight = 240;
// Hands are designed at 1/1.4 of the size they are shown at.
constexpr double kHandSize = 1.4;
constexpr double kPi = 3.14159265358979323846;

Part Skin()
{
    Part p;
    p.fill = kSkin;
    p.shade = kSkinShade;
    p.light = kSkinLight;
    return p;
}

Part Sleeve()
{
    Part p;
    p.fill = kSleeve;
    p.shade = kSleeveShade;
    p.light = kSleeve;
    return p;
}

QPointF Lerp(QPointF a, QPointF b, double t)
{
    return a + (b - a) * t;
}

// A crease between two fingers lying side by side: along the middle of their
// axes, from near the shorter tip down to where the fingers join the hand.
QPainterPath FingerSeam(QPointF baseA, QPointF tipA, QPointF baseB, QPointF tipB, double from, double to)
{
    const QPointF base = (baseA + baseB) / 2, tip = (tipA + tipB) / 2;
    QPainterPath path;
    path.moveTo(Lerp(base, tip, from));
    path.lineTo(Lerp(base, tip, to));
    return path;
}

// A fingernail seen from the back of the hand: a rounded cap near the tip.
QPainterPath Nail(QPointF base, QPointF tip, double r)
{
    const QPointF axis = tip - base;
    const double len = std::hypot(axis.x(), axis.y());
    const QPointF u = axis / len;
    const QPointF c = tip - u * (r * 1.35);
    return Capsule(c - u * (r * 0.55), c + u * (r * 0.2), r * 0.62, r * 0.62);
}

// ---------------------------------------------------------------------------
// The flat hand, seen from its back: a right hand, wrist at the origin,
// fingers together pointing up (towards -y), thumb on the left.
struct Finger {
    QPointF base, tip;
    double rBase, rTip;
};

const Finger kFlatFingers[4] = {
    { { -13.5, -40 }, { -15.5, -80 }, 5.6, 5.0 },  // index
    { { -3.5, -43 }, { -4.0, -88 }, 5.8, 5.1 },    // middle
    { { 6.5, -42 }, { 7.5, -84 }, 5.5, 4.9 },      // ring
    { { 15.5, -37 }, { 18.0, -70 }, 4.9, 4.3 },    // little
};

std::vector<Part> FlatHand()
{
    Part thumb = Skin();
    thumb.Add(Capsule({ -12, -10 }, { -24, -30 }, 8.0, 6.4));
    thumb.Add(Capsule({ -24, -30 }, { -33, -45 }, 6.4, 5.3));
    thumb.highlights.push_back(Nail({ -24, -30 }, { -33, -45 }, 5.3));

    Part hand = Skin();
    hand.Add(Blob({ { -15, 2 }, { -19, -18 }, { -19.5, -34 }, { -16, -44 }, { -3, -48 },
                    { 10, -47 }, { 19, -40 }, { 20, -24 }, { 16, -6 }, { 13, 2 }, { 0, 4 } }));
    for (const Finger& f : kFlatFingers) {
        hand.Add(Capsule(f.base, f.tip, f.rBase, f.rTip));
        hand.highlights.push_back(Nail(f.base, f.tip, f.rTip));
    }
    for (int i = 0; i < 3; ++i) {
        const Finger& a = kFlatFingers[i];
        const Finger& b = kFlatFingers[i + 1];
        // Stop short of the shorter finger's tip so its rounded end shows.
        const double lenA = std::hypot(a.tip.x() - a.base.x(), a.tip.y() - a.base.y());
        const double lenB = std::hypot(b.tip.x() - b.base.x(), b.tip.y() - b.base.y());
        const double shorter = std::min(lenA, lenB) / std::max(lenA, lenB);
        hand.Crease(FingerSeam(a.base, a.tip, b.base, b.tip, 0.12, shorter - 0.1));
    }
    return { thumb, hand };
}

// ---------------------------------------------------------------------------
// The fist, seen from the front: wrist at the origin, the four folded fingers
// side by side on top, the thumb across them. With the index finger out it is
// ti's fist; with the thumb out and down it is fa's.
enum class FistThumb { Across, Out };

std::vector<Part> Fist(FistThumb thumbWay, bool bIndexOut)
{
    Part fist = Skin();
    fist.Add(Blob({ { -20, 2 }, { -25, -16 }, { -27, -34 }, { -22, -46 }, { 0, -50 },
                    { 22, -46 }, { 27, -32 }, { 24, -14 }, { 19, 2 }, { 0, 5 } }));
    const double xs[4] = { -17.5, -5.8, 5.8, 17.2 };
    const double tops[4] = { -61, -64, -63, -58 };
    for (int i = 0; i < 4; ++i) {
        if (i == 0 && bIndexOut)
            continue;
        fist.Add(Capsule({ xs[i], -36 }, { xs[i], tops[i] }, 6.6, 6.3));
    }
    for (int i = bIndexOut ? 1 : 0; i < 3; ++i) {
        const double top = std::max(tops[i], tops[i + 1]) + 5;
        QPainterPath seam;
        seam.moveTo((xs[i] + xs[i + 1]) / 2, top);
        seam.lineTo((xs[i] + xs[i + 1]) / 2, -38);
        fist.Crease(seam);
    }

    std::vector<Part> parts;
    if (bIndexOut) {
        Part index = Skin();
        index.Add(Capsule({ -16, -40 }, { -29, -70 }, 6.6, 6.0));
        index.Add(Capsule({ -29, -70 }, { -40, -94 }, 6.0, 5.4));
        index.highlights.push_back(Nail({ -29, -70 }, { -40, -94 }, 5.4));
        index.Crease(Curve({ { -30, -62 }, { -26, -66 }, { -22, -66.5 } }));
        parts.push_back(index);
    }
    parts.push_back(fist);

    Part thumb = Skin();
    if (thumbWay == FistThumb::Across) {
        thumb.Add(Capsule({ -27, -14 }, { -14, -30 }, 9.0, 7.4));
        thumb.Add(Capsule({ -14, -30 }, { 9, -33 }, 7.4, 6.4));
        thumb.highlights.push_back(Nail({ -14, -30 }, { 9, -33 }, 6.4));
    } else {
        // Out to the right of the fist; turned with the fist it points down.
        thumb.Add(Capsule({ 17, -20 }, { 33, -24 }, 8.4, 7.0));
        thumb.Add(Capsule({ 33, -24 }, { 51, -25 }, 7.0, 6.0));
        thumb.highlights.push_back(Nail({ 33, -24 }, { 51, -25 }, 6.0));
    }
    parts.push_back(thumb);
    return parts;
}

// ---------------------------------------------------------------------------
// The forearm from the wrist towards the elbow, in a sleeve from a little
// below the wrist on.
std::vector<Part> Arm(QPointF wrist, QPointF elbow)
{
    const QPointF along = elbow - wrist;
    const QPointF u = along / std::hypot(along.x(), along.y());
    Part arm = Skin();
    arm.Add(Capsule(wrist, elbow, 13.5 * kHandSize, 17 * kHandSize));
    Part sleeve = Sleeve();
    const QPointF cuff = wrist + u * (58 * kHandSize);
    sleeve.Add(Capsule(cuff, elbow + u * 100.0, 20 * kHandSize, 24 * kHandSize));
    sleeve.Crease(Curve({ cuff + QPointF(-u.y(), u.x()) * (12 * kHandSize) + u * 9.0, cuff + u * 12.0,
                          cuff - QPointF(-u.y(), u.x()) * (12 * kHandSize) + u * 9.0 }));
    return { arm, sleeve };
}

struct Placement {
    QPointF centre; // where the middle of the hand goes
    double angle;   // degrees clockwise; 0: fingers (or fist) up
    double squash;  // across the hand, for a hand seen at a slant; 1 = none
    bool mirror;    // the thumb on the right instead of the left
};

QTransform HandTransform(QPointF localCentre, const Placement& at)
{
    QTransform t;
    t.translate(at.centre.x(), at.centre.y());
    t.rotate(at.angle);
    t.scale(kHandSize * (at.mirror ? -at.squash : at.squash), kHandSize);
    t.translate(-localCentre.x(), -localCentre.y());
    return t;
}

// ---------------------------------------------------------------------------
struct HandModel {
    std::vector<Part> parts; // wrist at the origin
    QPointF centre;          // the middle of the hand, placed by the sign
};

HandModel DoHand() { return { Fist(FistThumb::Across, false), { 0, -30 } }; }
HandModel FaHand() { return { Fist(FistThumb::Out, false), { 6, -30 } }; }
HandModel TiHand() { return { Fist(FistThumb::Across, true), { -4, -44 } }; }
HandModel FlatHandModel() { return { FlatHand(), { 0, -44 } }; }

struct Sign {
    const char* syllable;   // null for the blank picture
    int degree;             // 0..7 up the ladder, -1 for the blank picture
    HandModel (*hand)();
    double armAngle;        // direction from the wrist to the elbow, degrees (90: down)
    Placement at;
};

// Eight rungs up the right edge, do at the bottom just above the syllable;
// the current degree's rung is marked. Arms come in from the left and the
// bottom, so nothing covers it.
void DrawLadder(QPainter& p, int degree)
{
    for (int k = 0; k < 8; ++k) {
        const double y = 170 - k * 19;
        const bool current = k == degree;
        QPen pen{ QColor(current ? kAccent : kLadder) };
        pen.setWidthF(current ? 5.0 : 3.0);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(current ? 246 : 251, y), QPointF(current ? 270 : 265, y));
    }
}

QImage RenderSign(const Sign& sign, double unit)
{
    SuperCanvas canvas(int(kWidth * unit), int(kHeight * unit), unit, kPaper);
    {
        QPainter p;
        canvas.Begin(p);
        DrawLadder(p, sign.degree);
        p.end();
    }
    if (sign.hand) {
        const HandModel model = sign.hand();
        const QTransform t = HandTransform(model.centre, sign.at);
        const QPointF wrist = t.map(QPointF(0, 4));
        const double armAngle = sign.armAngle * kPi / 180;
        const QPointF elbow = wrist + 420.0 * QPointF(std::cos(armAngle), std::sin(armAngle));
        // The forearm, the sleeve over it, then the hand in front.
        std::vector<Part> all = Arm(wrist, elbow);
        for (const Part& part : model.parts)
            all.push_back(part.Mapped(t));
        PartStyle style;
        style.ink = kInk;
        DrawParts(canvas, all, style);
    }
    if (sign.syllable) {
        QPainter p;
        canvas.Begin(p);
        const QString text = QString::fromLatin1(sign.syllable);
        const double xHeight = 24;
        const double width = LetteringWidth(text, xHeight);
        QPen pen{ QColor(kLabel) };
        pen.setWidthF(5.6);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.strokePath(LetteringPath(text, QPointF(kWidth - 14 - width, kHeight - 16), xHeight), pen);
        p.end();
    }
    return canvas.Resolve();
}

} // namespace

std::vector<ArtFile> MakeHandSignArt()
{
    const Sign signs[] = {
        { nullptr, -1, nullptr, 0, {} },
        { "do", 0, DoHand, 95, { { 140, 178 }, 0, 1, false } },
        { "re", 1, FlatHandModel, 140, { { 152, 156 }, 52, 0.85, false } },
        { "mi", 2, FlatHandModel, 165, { { 160, 140 }, 90, 0.75, false } },
        { "fa", 3, FaHand, 172, { { 165, 122 }, 90, 1, false } },
        { "so", 4, FlatHandModel, 90, { { 150, 104 }, 0, 1, false } },
        { "la", 5, FlatHandModel, 182, { { 165, 96 }, 160, 0.9, true } },
        { "ti", 6, TiHand, 92, { { 165, 88 }, 0, 1, false } },
        { "do'", 7, DoHand, 95, { { 140, 62 }, 0, 1, false } },
    };
    const unsigned normalIds[] = { 174, 166, 167, 168, 169, 170, 171, 172, 173 };
    const unsigned largeIds[] = { 149, 150, 151, 152, 153, 154, 155, 156, 157 };

    std::vector<ArtFile> files;
    for (int scale = 1; scale <= 2; ++scale) {
        for (size_t i = 0; i < std::size(signs); ++i) {
            const unsigned id = scale == 1 ? normalIds[i] : largeIds[i];
            files.push_back({ QStringLiteral("%1.bmp").arg(id), EncodeArtBitmap(RenderSign(signs[i], scale)) });
        }
    }
    return files;
}

} // namespace artgen
