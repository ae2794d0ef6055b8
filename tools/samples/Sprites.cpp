#include "Sprites.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace pzsamples {

namespace {

constexpr int kGroundY = 68; // first row of grass
constexpr double kLegLength = 15.0;
constexpr double kArmLength = 12.0;
constexpr double kSwing = 28.0 * std::numbers::pi / 180.0;
constexpr int kScrollPerFrame = 4; // 32 pixels a cycle: tufts every 16 keep the loop seamless

struct Rgb {
    double r, g, b;
};

// A dark-mid-light ramp of `n` entries written from `first`.
void ramp(Palette& p, int first, int n, Rgb dark, Rgb mid, Rgb light) {
    for (int i = 0; i < n; ++i) {
        const double t = n == 1 ? 0.0 : static_cast<double>(i) / (n - 1);
        const Rgb& a = t < 0.5 ? dark : mid;
        const Rgb& b = t < 0.5 ? mid : light;
        const double u = t < 0.5 ? t * 2 : (t - 0.5) * 2;
        const double rgb[3] = {a.r + (b.r - a.r) * u, a.g + (b.g - a.g) * u, a.b + (b.b - a.b) * u};
        for (int c = 0; c < 3; ++c)
            p[static_cast<size_t>((first + i) * 3 + c)] =
                static_cast<uint8_t>(std::clamp(std::lround(rgb[c]), 0L, 255L));
    }
}

void entry(Palette& p, int index, Rgb c) {
    ramp(p, index, 1, c, c, c);
}

// Light from the upper left, in front: a ramp shade 0..15 for a surface normal.
int shade(double nx, double ny) {
    const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
    const double lx = -0.45, ly = -0.55, lz = 0.70;
    const double len = std::sqrt(lx * lx + ly * ly + lz * lz);
    const double d = std::max(0.0, (nx * lx + ny * ly + nz * lz) / len);
    return std::clamp(static_cast<int>(std::lround((0.12 + 0.88 * d) * 15)), 0, 15);
}

class Canvas {
public:
    Canvas() : pixels_(kSide * kSide, 0), body_(kSide * kSide, false) {}

    void set(int x, int y, uint8_t v) {
        if (x >= 0 && y >= 0 && x < kSide && y < kSide)
            pixels_[static_cast<size_t>(y * kSide + x)] = v;
    }
    uint8_t at(int x, int y) const { return pixels_[static_cast<size_t>(y * kSide + x)]; }
    bool body(int x, int y) const {
        return x >= 0 && y >= 0 && x < kSide && y < kSide &&
               body_[static_cast<size_t>(y * kSide + x)];
    }

    // A shaded ellipse of the figure; `depth` darkens limbs on the far side. Rows
    // from `below` down are left alone.
    void ellipse(double cx, double cy, double rx, double ry, int first, int depth = 0,
                 double below = kSide) {
        for (int y = static_cast<int>(cy - ry) - 1;
             y <= static_cast<int>(std::min(cy + ry, below - 1)) + 1 && y < below; ++y)
            for (int x = static_cast<int>(cx - rx) - 1; x <= static_cast<int>(cx + rx) + 1; ++x) {
                const double nx = (x + 0.5 - cx) / rx, ny = (y + 0.5 - cy) / ry;
                if (nx * nx + ny * ny <= 1.0)
                    paint(x, y, first + std::max(0, shade(nx, ny) - depth));
            }
    }

    // A shaded limb: a segment with round ends. With `edge` set, a dark rim is
    // drawn first, so a limb in front of the body stands out from it.
    void capsule(double x0, double y0, double x1, double y1, double r, int first, int depth = 0,
                 bool edge = false) {
        if (edge)
            fillCapsule(x0, y0, x1, y1, r + 1, [](double, double) { return kOutline; });
        fillCapsule(x0, y0, x1, y1, r, [&](double nx, double ny) {
            return first + std::max(0, shade(nx, ny) - depth);
        });
    }

    // A one-pixel dark edge around the figure.
    void outline() {
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                if (!body(x, y) &&
                    (body(x - 1, y) || body(x + 1, y) || body(x, y - 1) || body(x, y + 1)))
                    set(x, y, kOutline);
    }

    Picture picture() const { return Picture{kSide, kSide, pixels_}; }

private:
    template <class Colour>
    void fillCapsule(double x0, double y0, double x1, double y1, double r, Colour colour) {
        const double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
        for (int y = static_cast<int>(std::min(y0, y1) - r) - 1;
             y <= static_cast<int>(std::max(y0, y1) + r) + 1; ++y)
            for (int x = static_cast<int>(std::min(x0, x1) - r) - 1;
                 x <= static_cast<int>(std::max(x0, x1) + r) + 1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double t =
                    len2 > 0 ? std::clamp(((px - x0) * dx + (py - y0) * dy) / len2, 0.0, 1.0) : 0;
                const double nx = (px - (x0 + t * dx)) / r, ny = (py - (y0 + t * dy)) / r;
                if (nx * nx + ny * ny <= 1.0)
                    paint(x, y, colour(nx, ny));
            }
    }

    void paint(int x, int y, int v) {
        if (x < 0 || y < 0 || x >= kSide || y >= kSide)
            return;
        set(x, y, static_cast<uint8_t>(v));
        body_[static_cast<size_t>(y * kSide + x)] = true;
    }

    std::vector<uint8_t> pixels_;
    std::vector<bool> body_;
};

constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

void drawBackground(Canvas& c, int frame) {
    // Sky: ordered dithering between neighbouring ramp entries keeps the gradient smooth.
    for (int y = 0; y < kGroundY; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double level = static_cast<double>(y) / (kGroundY - 1) * (kRampSize - 1);
            const int base = static_cast<int>(level);
            const bool up = (level - base) * 16 > kBayer[y & 3][x & 3];
            c.set(x, y, static_cast<uint8_t>(kSky + std::min(kRampSize - 1, base + (up ? 1 : 0))));
        }
    // Two still clouds.
    const struct {
        double x, y, r;
    } puffs[] = {{12, 10, 5}, {18, 8, 6}, {24, 11, 4}, {56, 18, 4}, {61, 16, 5}, {66, 19, 3.5}};
    for (const auto& p : puffs)
        for (int y = static_cast<int>(p.y - p.r); y <= static_cast<int>(p.y + p.r); ++y)
            for (int x = static_cast<int>(p.x - p.r); x <= static_cast<int>(p.x + p.r); ++x) {
                const double dx = x + 0.5 - p.x, dy = y + 0.5 - p.y;
                if (dx * dx + dy * dy <= p.r * p.r)
                    c.set(x, y,
                          static_cast<uint8_t>(kCloud + (dy < -p.r / 3 ? 3
                                                         : dy < 0      ? 2
                                                                       : 1)));
            }
    // Grass, lighter at its edge, with tufts and stones scrolling past.
    for (int y = kGroundY; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            c.set(x, y, static_cast<uint8_t>(kGround + std::max(1, 6 - (y - kGroundY) / 2)));
    const int scroll = frame * kScrollPerFrame;
    for (int k = 0; k < kSide / 16 + 1; ++k) {
        const int x = ((k * 16 - scroll) % kSide + kSide) % kSide;
        c.set(x, kGroundY - 1, kGround + 7);
        c.set(x + 1, kGroundY - 2, kGround + 7);
        c.set(x + 2, kGroundY - 1, kGround + 6);
        const int sx = ((k * 32 + 9 - scroll) % kSide + kSide) % kSide;
        const int sy = kGroundY + 6 + (k % 2) * 3;
        c.set(sx, sy, kLeather + 6);
        c.set(sx + 1, sy, kLeather + 9);
        c.set(sx, sy + 1, kLeather + 3);
        c.set(sx + 1, sy + 1, kLeather + 4);
    }
}

} // namespace

Picture drawWalkFrame(int frame) {
    Canvas c;
    drawBackground(c, frame);

    const double t = 2 * std::numbers::pi * frame / kWalkFrames;
    const double swing = kSwing * std::sin(t);
    // The leg on the ground carries the body, so it rises as the legs pass.
    const double hipY = kGroundY - 3 - kLegLength * std::cos(swing);
    const double cx = 40;

    // Shadow on the grass.
    for (int y = kGroundY; y < kGroundY + 5; ++y)
        for (int x = 26; x < 55; ++x) {
            const double dx = (x + 0.5 - cx) / 13, dy = (y + 0.5 - kGroundY - 1.5) / 2.5;
            if (dx * dx + dy * dy <= 1)
                c.set(x, y, kShadow);
        }

    auto leg = [&](double angle, double lift, int depth, bool edge) {
        const double len = kLegLength - lift;
        const double fx = cx + std::sin(angle) * len, fy = hipY + std::cos(angle) * len;
        c.capsule(cx, hipY, fx, fy, 3.6, kLeather, depth, edge);
        c.ellipse(fx + 2.2, fy + 0.6, 4.4, 2.8, kLeather, depth + 2); // boot, toes forward
    };
    auto arm = [&](double angle, int sleeve, int depth, bool edge) {
        const double sy = hipY - 13;
        const double hx = cx + std::sin(angle) * kArmLength, hy = sy + std::cos(angle) * kArmLength;
        c.capsule(cx, sy, hx, hy, 3.0, sleeve, depth, edge);
        c.ellipse(hx, hy + 1, 2.8, 2.8, kSkin, depth);
    };
    // The leg swinging forward lifts its foot off the ground.
    const double liftNear = 4 * std::max(0.0, std::cos(t));
    const double liftFar = 4 * std::max(0.0, -std::cos(t));

    arm(0.8 * swing, kTeamA, 5, false);      // far arm swings against the far leg
    leg(-swing, liftFar, 5, false);          // far leg
    c.ellipse(cx, hipY - 8, 10, 11, kTeamA); // tunic
    for (int y = static_cast<int>(hipY) - 3; y <= static_cast<int>(hipY) - 1; ++y)
        for (int x = 28; x < 52; ++x)
            if (c.body(x, y) && c.at(x, y) >= kTeamA && c.at(x, y) < kTeamA + kRampSize)
                c.set(x, y, static_cast<uint8_t>(kLeather + (c.at(x, y) - kTeamA) / 2 + 2)); // belt
    leg(swing, liftNear, 0, true); // near leg
    const double headX = cx + 1, headY = hipY - 27;
    c.ellipse(headX, headY, 12, 11.5, kSkin);
    // Cap over the top of the head, brim to the front.
    c.ellipse(headX - 0.5, headY - 0.5, 12.6, 12, kTeamA, 0, headY - 3);
    c.ellipse(headX + 9, headY - 3.5, 7, 2.2, kTeamA, 3);
    arm(-0.8 * swing, kTeamA, 0, true); // near arm
    c.outline();

    // Eye looking ahead, and a small smile.
    const int ex = static_cast<int>(headX) + 5, ey = static_cast<int>(headY) + 1;
    for (int y = ey - 2; y <= ey + 2; ++y)
        for (int x = ex - 1; x <= ex + 1; ++x)
            c.set(x, y, kEyeWhite);
    c.set(ex + 1, ey, kPupil);
    c.set(ex + 1, ey + 1, kPupil);
    c.set(ex, ey + 1, kPupil);
    c.set(ex + 2, ey + 5, kOutline);
    c.set(ex + 3, ey + 4, kOutline);
    c.set(ex + 1, ey + 5, kSkin + 4);
    return c.picture();
}

std::vector<uint8_t> bottomUp(const Picture& picture) {
    std::vector<uint8_t> out(picture.pixels.size());
    const size_t row = static_cast<size_t>(picture.width);
    for (int y = 0; y < picture.height; ++y)
        std::copy_n(picture.pixels.begin() + static_cast<std::ptrdiff_t>(y * row), row,
                    out.begin() + static_cast<std::ptrdiff_t>((picture.height - 1 - y) * row));
    return out;
}

Palette walkPalette() {
    Palette p{};
    entry(p, kOutline, {34, 26, 40});
    entry(p, kEyeWhite, {250, 250, 246});
    entry(p, kPupil, {24, 22, 36});
    entry(p, kShadow, {46, 96, 40});
    ramp(p, kGround, 8, {40, 86, 34}, {76, 140, 52}, {150, 204, 90});
    ramp(p, kTeamA, kRampSize, {72, 12, 24}, {204, 44, 44}, {255, 184, 150});
    ramp(p, kTeamB, kRampSize, {14, 22, 78}, {52, 96, 214}, {176, 214, 255});
    ramp(p, kSkin, kRampSize, {112, 60, 42}, {232, 170, 122}, {255, 234, 206});
    ramp(p, kLeather, kRampSize, {40, 24, 16}, {122, 78, 42}, {206, 156, 104});
    ramp(p, kSky, kRampSize, {72, 132, 206}, {128, 182, 232}, {196, 228, 246});
    ramp(p, kCloud, 4, {200, 214, 230}, {232, 240, 248}, {255, 255, 255});
    return p;
}

Palette duskPalette() {
    Palette p{};
    entry(p, kOutline, {20, 12, 30});
    entry(p, kEyeWhite, {255, 236, 214});
    entry(p, kPupil, {18, 10, 28});
    entry(p, kShadow, {28, 40, 44});
    ramp(p, kGround, 8, {24, 40, 40}, {50, 76, 56}, {118, 120, 72});
    ramp(p, kTeamA, kRampSize, {60, 14, 44}, {190, 60, 70}, {255, 196, 130});
    ramp(p, kTeamB, kRampSize, {20, 18, 70}, {70, 80, 190}, {210, 190, 240});
    ramp(p, kSkin, kRampSize, {90, 44, 46}, {214, 140, 110}, {255, 214, 170});
    ramp(p, kLeather, kRampSize, {30, 16, 18}, {104, 60, 44}, {200, 130, 84});
    ramp(p, kSky, kRampSize, {44, 30, 92}, {196, 90, 120}, {252, 178, 96});
    ramp(p, kCloud, 4, {150, 90, 130}, {230, 140, 130}, {255, 206, 150});
    return p;
}

Table teamSwap() {
    Table t;
    for (int i = 0; i < 256; ++i)
        t[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int i = 0; i < kRampSize; ++i) {
        t[static_cast<size_t>(kTeamA + i)] = static_cast<uint8_t>(kTeamB + i);
        t[static_cast<size_t>(kTeamB + i)] = static_cast<uint8_t>(kTeamA + i);
    }
    return t;
}

} // namespace pzsamples
