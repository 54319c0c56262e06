// The solfege hand signs in the Curwen manner, one picture per degree of the
// major scale, one per raised and lowered degree (di ri fi si li, ra me se le
// te) and a blank one, at 280 x 240 and at any whole multiple of that.
//
// They are watched over video calls, often small and blurred, so each sign is
// a bold silhouette first: a skin-coloured hand with a thick dark outline on a
// light ground, the forearm in a sleeve coming in from the edge. The hand sits
// higher as the degree rises, evenly, so that its height alone tells the order
// (a raised or lowered degree halfway between its neighbours); a ladder at the
// right repeats it, and the syllable is written in the corner. A raised sign
// is the sign below it tipped to point up, a lowered one the sign above it
// tipped to point down, as the Kodaly teachers show them.
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
constexpr double kHandSize = 1.25;
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
std::vector<Part> Arm(QPointF wrist, QPointF elbow, double cuffLength)
{
    const QPointF along = elbow - wrist;
    const QPointF u = along / std::hypot(along.x(), along.y());
    Part arm = Skin();
    arm.Add(Capsule(wrist, elbow, 13.5 * kHandSize, 17 * kHandSize));
    Part sleeve = Sleeve();
    const QPointF cuff = wrist + u * (cuffLength * kHandSize);
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

// Where a sign stands: in half rungs of the ladder, do 0 ... high do 14; a
// raised or lowered degree on the odd step between its neighbours.
constexpr int kTopStep = 14;
// The height of the skin (its mean: the hand and the bit of wrist before the
// sleeve) at step 0 and per step: even steps, a degree apart 2 steps, so the
// eye reads the order by height.
constexpr double kLowestSkin = 172, kSkinPerStep = 7.9;
constexpr double kCuff = 24; // wrist to the sleeve's cuff, in hand units

struct Sign {
    const char* syllable;   // null for the blank picture
    int step;               // 0..kTopStep up the ladder, -1 for the blank picture
    int tip;                // +1 raised (points up), -1 lowered (points down), 0 neither
    HandModel (*hand)();
    double armAngle;        // direction from the wrist to the elbow, degrees (90: down)
    Placement at;           // the centre's height is found by HandHeights
};

// A raised or lowered degree: its neighbour's sign turned about the hand,
// the forearm turning by armTurn (the wrist bends, so that the arm still
// comes in from the left or below, clear of the ladder and the syllable);
// dx moves a hand that points down to the right clear of the syllable.
Sign Tipped(Sign sign, const char* syllable, int step, int tip, double turn, double armTurn, double dx = 0)
{
    sign.at.centre.rx() += dx;
    sign.syllable = syllable;
    sign.step = step;
    sign.tip = tip;
    sign.armAngle += armTurn;
    sign.at.angle += turn;
    return sign;
}

// In the order of HandSignBitmapAt: blank, do re mi fa so la ti do', di ri fi
// si li, ra me se le te. Angles turn clockwise, so a raised sign turns
// against the clock where it points right and with it where it points left.
const std::vector<Sign>& Signs()
{
    static const std::vector<Sign> signs = [] {
        const Sign doSign{ "do", 0, 0, DoHand, 165, { { 138, 0 }, 0, 1, false } };
        const Sign re{ "re", 2, 0, FlatHandModel, 140, { { 150, 0 }, 52, 0.85, false } };
        const Sign mi{ "mi", 4, 0, FlatHandModel, 172, { { 158, 0 }, 90, 0.45, false } };
        const Sign fa{ "fa", 6, 0, FaHand, 172, { { 160, 0 }, 90, 1, false } };
        // The back of the hand, fingers across, thumb on top.
        const Sign so{ "so", 8, 0, FlatHandModel, 180, { { 150, 0 }, 90, 1, false } };
        const Sign la{ "la", 10, 0, FlatHandModel, 182, { { 160, 0 }, 160, 0.9, true } };
        const Sign ti{ "ti", 12, 0, TiHand, 112, { { 160, 0 }, -28, 1, false } };
        const Sign high{ "do'", 14, 0, DoHand, 100, { { 138, 0 }, 0, 1, false } };
        return std::vector<Sign>{
            { nullptr, -1, 0, nullptr, 0, {} },
            doSign, re, mi, fa, so, la, ti, high,
            Tipped(doSign, "di", 1, 1, -28, -20), Tipped(re, "ri", 3, 1, -15, -15),
            Tipped(fa, "fi", 7, 1, -115, -50), Tipped(so, "si", 9, 1, -38, -38),
            Tipped(la, "li", 11, 1, -55, -30),
            Tipped(re, "ra", 1, -1, 70, 40, -14), Tipped(mi, "me", 3, -1, 40, 32, -20),
            Tipped(so, "se", 7, -1, 40, 30, -12),
            Tipped(la, "le", 9, -1, 35, 25), Tipped(ti, "te", 11, -1, -75, 18, -20),
        };
    }();
    return signs;
}

struct Figure {
    std::vector<Part> parts; // back to front: forearm, sleeve, the hand's parts
};

Figure Pose(const Sign& sign, Placement at)
{
    const HandModel model = sign.hand();
    const QTransform t = HandTransform(model.centre, at);
    const QPointF wrist = t.map(QPointF(0, 4));
    const double armAngle = sign.armAngle * kPi / 180;
    const QPointF elbow = wrist + 420.0 * QPointF(std::cos(armAngle), std::sin(armAngle));
    // The forearm, the sleeve over it, then the hand in front.
    Figure figure;
    figure.parts = Arm(wrist, elbow, kCuff);
    for (const Part& part : model.parts)
        figure.parts.push_back(part.Mapped(t));
    return figure;
}

// The mean height of the skin within the picture, found at a pixel per unit
// (the mean of many rows is finer than that).
double SkinHeight(const Figure& figure)
{
    // The parts painted back to front, the sleeve hiding the forearm: what
    // shows of the skin, without the cost of path arithmetic.
    QImage mask(kWidth, kHeight, QImage::Format_Grayscale8);
    mask.fill(0);
    QPainter p(&mask);
    for (size_t i = 0; i < figure.parts.size(); ++i)
        for (const QPainterPath& s : figure.parts[i].shapes)
            p.fillPath(s, i == 1 ? Qt::black : Qt::white);
    p.end();
    double sum = 0, count = 0;
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* line = mask.constScanLine(y);
        for (int x = 0; x < mask.width(); ++x)
            if (line[x]) {
                sum += y;
                ++count;
            }
    }
    return count ? sum / count + 0.5 : 0;
}

// Each sign's placement with its height set so that the skin's mean height
// is its step's: hands and poses differ in shape, so the hand's own centre
// would not rise evenly.
const std::vector<Placement>& Placements()
{
    static const std::vector<Placement> placements = [] {
        std::vector<Placement> out;
        for (const Sign& sign : Signs()) {
            Placement at = sign.at;
            if (sign.hand) {
                const double target = kLowestSkin - sign.step * kSkinPerStep;
                at.centre.setY(target);
                for (int i = 0; i < 3; ++i) // the frame's edges clip some of the skin
                    at.centre.ry() += target - SkinHeight(Pose(sign, at));
            }
            out.push_back(at);
        }
        return out;
    }();
    return placements;
}

// Eight rungs up the right edge, do at the bottom just above the syllable;
// the current degree's rung is marked, and a raised or lowered degree gets a
// small arrow between its two rungs. Arms come in from the left and the
// bottom, so nothing covers it.
void DrawLadder(QPainter& p, const Sign& sign)
{
    for (int k = 0; k < 8; ++k) {
        const double y = 170 - k * 19;
        const bool current = sign.step == 2 * k;
        QPen pen{ QColor(current ? kAccent : kLadder) };
        pen.setWidthF(current ? 5.0 : 3.0);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(current ? 246 : 251, y), QPointF(current ? 270 : 265, y));
    }
    if (sign.step >= 0 && sign.step % 2) {
        const double y = 170 - sign.step * 9.5, d = sign.tip > 0 ? -1 : 1;
        QPolygonF arrow;
        arrow << QPointF(258, y + 4.2 * d) << QPointF(265.5, y - 3.2 * d) << QPointF(250.5, y - 3.2 * d);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(kAccent));
        p.drawPolygon(arrow);
    }
}

void DrawSign(SuperCanvas& canvas, const Sign& sign, const Placement& at)
{
    {
        QPainter p;
        canvas.Begin(p);
        DrawLadder(p, sign);
        p.end();
    }
    if (sign.hand) {
        PartStyle style;
        style.ink = kInk;
        DrawParts(canvas, Pose(sign, at).parts, style);
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
}

} // namespace

QByteArray HandSignPicture(int sign, int scale)
{
    const Sign& s = Signs()[size_t(sign)];
    const Placement& at = Placements()[size_t(sign)];
    return EncodeArtBitmap(RenderSupersampled(kWidth * scale, kHeight * scale, scale, kPaper,
                                              SuperFactorForScale(scale),
                                              [&](SuperCanvas& canvas) { DrawSign(canvas, s, at); }));
}

std::vector<ArtFile> MakeHandSignArt()
{
    // Blank, the eight degrees, the ten raised and lowered ones.
    auto id = [](int sign, int scale) -> unsigned {
        if (sign == 0)
            return scale == 1 ? 174 : 149;
        if (sign <= 8)
            return (scale == 1 ? 166 : 150) + unsigned(sign - 1);
        return (scale == 1 ? 180 : 190) + unsigned(sign - 9);
    };
    std::vector<ArtFile> files;
    for (int scale = 1; scale <= 2; ++scale)
        for (int sign = 0; sign < kHandSignCount; ++sign)
            files.push_back({ QStringLiteral("%1.bmp").arg(id(sign, scale)), HandSignPicture(sign, scale) });
    return files;
}

} // namespace artgen
