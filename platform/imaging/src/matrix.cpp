// Fixed-point matrix arithmetic. Products are formed in 64 bits and brought
// back to each element's own format (16.16, or 2.30 in the third column)
// with rounding; results beyond 32 bits are clamped.
#include "imaging/matrix.h"

#include <cmath>
#include <cstring>

namespace imaging {

namespace {

// Fraction bits of the elements of a column.
int bitsAt(int column) { return column == 2 ? 30 : 16; }

int32_t clamp32(int64_t v) { return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v); }

int64_t roundShift(int64_t v, int shift) { return (v + (int64_t(1) << (shift - 1))) >> shift; }

int32_t fromDouble(double v, int bits) {
    double scaled = std::nearbyint(v * double(int64_t(1) << bits));
    if (!(scaled == scaled)) return 0;
    return scaled >= 2147483647.0 ? INT32_MAX : scaled <= -2147483648.0 ? INT32_MIN : int32_t(scaled);
}

void fromDoubles(const double d[3][3], MatrixRecord *m) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m->matrix[i][j] = fromDouble(d[i][j], bitsAt(j));
}

// m := m * t, t given as a plain affine matrix in fixed point.
void append(MatrixRecord *m, MatrixRecord t) {
    ConcatMatrix(m, &t);
    *m = t;
}

MatrixRecord affine(Fixed a, Fixed b, Fixed c, Fixed d, Fixed tx, Fixed ty) {
    MatrixRecord t{};
    t.matrix[0][0] = a, t.matrix[0][1] = b;
    t.matrix[1][0] = c, t.matrix[1][1] = d;
    t.matrix[2][0] = tx, t.matrix[2][1] = ty;
    t.matrix[2][2] = fract1;
    return t;
}

// Translate to the anchor's origin, apply t, translate back.
void aboutPoint(MatrixRecord *m, const MatrixRecord &t, Fixed x, Fixed y) {
    TranslateMatrix(m, clamp32(-int64_t(x)), clamp32(-int64_t(y)));
    append(m, t);
    TranslateMatrix(m, x, y);
}

// The projective map of the unit square onto a quadrilateral; false when
// the quadrilateral is degenerate.
bool squareToQuad(const double q[4][2], double out[3][3]) {
    double x0 = q[0][0], y0 = q[0][1], x1 = q[1][0], y1 = q[1][1];
    double x2 = q[2][0], y2 = q[2][1], x3 = q[3][0], y3 = q[3][1];
    double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
    double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
    double det = dx1 * dy2 - dx2 * dy1;
    if (std::fabs(det) < 1e-12) return false;
    double g = (sx * dy2 - dx2 * sy) / det, h = (dx1 * sy - sx * dy1) / det;
    double r[3][3] = {{x1 - x0 + g * x1, y1 - y0 + g * y1, g}, {x3 - x0 + h * x3, y3 - y0 + h * y3, h}, {x0, y0, 1}};
    std::memcpy(out, r, sizeof r);
    return true;
}

void multiply(const double a[3][3], const double b[3][3], double out[3][3]) {
    double r[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
    std::memcpy(out, r, sizeof r);
}

bool invert(const double m[3][3], double out[3][3]) {
    double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    double c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    double c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (std::fabs(det) < 1e-18) return false;
    double r[3][3] = {{c00, m[0][2] * m[2][1] - m[0][1] * m[2][2], m[0][1] * m[1][2] - m[0][2] * m[1][1]},
                      {c01, m[0][0] * m[2][2] - m[0][2] * m[2][0], m[0][2] * m[1][0] - m[0][0] * m[1][2]},
                      {c02, m[0][1] * m[2][0] - m[0][0] * m[2][1], m[0][0] * m[1][1] - m[0][1] * m[1][0]}};
    for (auto &row : r)
        for (double &v : row) v /= det;
    std::memcpy(out, r, sizeof r);
    return true;
}

// Scales a projective matrix so that its corner element is 1 (as the
// fixed-point form expects); false when that element is 0.
bool normalise(double m[3][3]) {
    if (std::fabs(m[2][2]) < 1e-12) return false;
    double k = m[2][2];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] /= k;
    return true;
}

}  // namespace

void SetIdentityMatrix(MatrixRecord *m) {
    if (!m) return;
    *m = affine(fixed1, 0, 0, fixed1, 0, 0);
}

bool EqualMatrix(const MatrixRecord *a, const MatrixRecord *b) { return a && b && std::memcmp(a, b, sizeof *a) == 0; }

bool IsIdentityMatrix(const MatrixRecord *m) {
    MatrixRecord id;
    SetIdentityMatrix(&id);
    return EqualMatrix(m, &id);
}

void ConcatMatrix(const MatrixRecord *a, MatrixRecord *b) {
    if (!a || !b) return;
    MatrixRecord r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            int64_t sum = 0;
            for (int k = 0; k < 3; ++k) {
                // a[i][k] carries bitsAt(k) fraction bits, b[k][j] those of j.
                sum += roundShift(int64_t(a->matrix[i][k]) * b->matrix[k][j], bitsAt(k));
            }
            r.matrix[i][j] = clamp32(sum);
        }
    *b = r;
}

void TranslateMatrix(MatrixRecord *m, Fixed deltaH, Fixed deltaV) {
    if (!m) return;
    append(m, affine(fixed1, 0, 0, fixed1, deltaH, deltaV));
}

void RotateMatrix(MatrixRecord *m, Fixed degrees, Fixed aboutX, Fixed aboutY) {
    if (!m) return;
    double radians = double(degrees) / 65536.0 * M_PI / 180.0;
    Fixed c = fromDouble(std::cos(radians), 16), s = fromDouble(std::sin(radians), 16);
    aboutPoint(m, affine(c, s, -s, c, 0, 0), aboutX, aboutY);
}

void ScaleMatrix(MatrixRecord *m, Fixed scaleX, Fixed scaleY, Fixed aboutX, Fixed aboutY) {
    if (!m) return;
    aboutPoint(m, affine(scaleX, 0, 0, scaleY, 0, 0), aboutX, aboutY);
}

void SkewMatrix(MatrixRecord *m, Fixed skewX, Fixed skewY, Fixed aboutX, Fixed aboutY) {
    if (!m) return;
    aboutPoint(m, affine(fixed1, skewY, skewX, fixed1, 0, 0), aboutX, aboutY);
}

OSErr RectMatrix(MatrixRecord *m, const Rect *src, const Rect *dst) {
    if (!m || !src || !dst || RectWidth(*src) <= 0 || RectHeight(*src) <= 0) return paramErr;
    double sx = double(RectWidth(*dst)) / RectWidth(*src), sy = double(RectHeight(*dst)) / RectHeight(*src);
    double d[3][3] = {{sx, 0, 0}, {0, sy, 0}, {dst->left - src->left * sx, dst->top - src->top * sy, 1}};
    fromDoubles(d, m);
    return noErr;
}

OSErr QuadToQuadMatrix(const FixedPoint source[4], const FixedPoint dest[4], MatrixRecord *m) {
    if (!source || !dest || !m) return paramErr;
    double s[4][2], t[4][2];
    for (int i = 0; i < 4; ++i) {
        s[i][0] = source[i].x / 65536.0, s[i][1] = source[i].y / 65536.0;
        t[i][0] = dest[i].x / 65536.0, t[i][1] = dest[i].y / 65536.0;
    }
    double a[3][3], b[3][3], ai[3][3], r[3][3];
    if (!squareToQuad(s, a) || !squareToQuad(t, b) || !invert(a, ai)) return paramErr;
    multiply(ai, b, r);
    if (!normalise(r)) return paramErr;
    fromDoubles(r, m);
    return noErr;
}

void MatrixToDoubles(const MatrixRecord *m, double out[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = double(m->matrix[i][j]) / double(int64_t(1) << bitsAt(j));
}

bool InverseMatrix(const MatrixRecord *m, MatrixRecord *out) {
    if (!m || !out) return false;
    double d[3][3], inv[3][3];
    MatrixToDoubles(m, d);
    if (!invert(d, inv) || !normalise(inv)) return false;
    fromDoubles(inv, out);
    return true;
}

bool TransformPoint(const double m[3][3], double x, double y, double *outX, double *outY) {
    double w = x * m[0][2] + y * m[1][2] + m[2][2];
    if (std::fabs(w) < 1e-12) return false;
    *outX = (x * m[0][0] + y * m[1][0] + m[2][0]) / w;
    *outY = (x * m[0][1] + y * m[1][1] + m[2][1]) / w;
    return true;
}

bool TransformRect(const MatrixRecord *m, const Rect *r, Rect *out) {
    if (!m || !r || !out) return false;
    double d[3][3];
    MatrixToDoubles(m, d);
    const double xs[2] = {double(r->left), double(r->right)}, ys[2] = {double(r->top), double(r->bottom)};
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (double x : xs)
        for (double y : ys) {
            double tx, ty;
            if (!TransformPoint(d, x, y, &tx, &ty)) return false;
            minX = std::fmin(minX, tx), maxX = std::fmax(maxX, tx);
            minY = std::fmin(minY, ty), maxY = std::fmax(maxY, ty);
        }
    auto toInt = [](double v) { return v >= 2147483647.0 ? INT32_MAX : v <= -2147483648.0 ? INT32_MIN : int32_t(v); };
    // Within 1/64 of a whole number counts as that number (what 16.16
    // values miss by over an image's width).
    constexpr double slack = 1.0 / 64;
    out->left = toInt(std::floor(minX + slack)), out->top = toInt(std::floor(minY + slack));
    out->right = toInt(std::ceil(maxX - slack)), out->bottom = toInt(std::ceil(maxY - slack));
    return true;
}

}  // namespace imaging
