// Transformation matrices in fixed point, as the graphics importer uses
// them: a point (x, y) maps through [x y 1] * M. The first two columns are
// 16.16 fixed-point values, the third column 2.30 fractions (1.0 = 1 << 30).
#pragma once

#include "imaging/imaging.h"

namespace imaging {

using Fract = int32_t;  // 2.30
constexpr Fixed fixed1 = 1 << 16;
constexpr Fract fract1 = 1 << 30;

struct MatrixRecord {
    Fixed matrix[3][3];
};
static_assert(sizeof(MatrixRecord) == 36, "a matrix is nine 32-bit words");

struct FixedPoint {
    Fixed x, y;
};

void SetIdentityMatrix(MatrixRecord *m);
bool EqualMatrix(const MatrixRecord *a, const MatrixRecord *b);
bool IsIdentityMatrix(const MatrixRecord *m);
// b := a * b (a first, then b).
void ConcatMatrix(const MatrixRecord *a, MatrixRecord *b);
// Each appends its transformation to m (m := m * T).
void TranslateMatrix(MatrixRecord *m, Fixed deltaH, Fixed deltaV);
void RotateMatrix(MatrixRecord *m, Fixed degrees, Fixed aboutX, Fixed aboutY);
void ScaleMatrix(MatrixRecord *m, Fixed scaleX, Fixed scaleY, Fixed aboutX, Fixed aboutY);
void SkewMatrix(MatrixRecord *m, Fixed skewX, Fixed skewY, Fixed aboutX, Fixed aboutY);
// The matrix that maps src onto dst (scale and translate); paramErr for an
// empty src.
OSErr RectMatrix(MatrixRecord *m, const Rect *src, const Rect *dst);
// The matrix that maps the quadrilateral `source` (four corners) onto `dest`;
// paramErr (and m unchanged) when either is degenerate.
OSErr QuadToQuadMatrix(const FixedPoint source[4], const FixedPoint dest[4], MatrixRecord *m);
// The inverse; false (and out unchanged) when m is singular.
bool InverseMatrix(const MatrixRecord *m, MatrixRecord *out);

// The matrix in doubles, and a point through it (false when the point maps
// to infinity).
void MatrixToDoubles(const MatrixRecord *m, double out[3][3]);
bool TransformPoint(const double m[3][3], double x, double y, double *outX, double *outY);
// The bounding box of r through m, rounded outwards; false when a corner
// maps to infinity.
bool TransformRect(const MatrixRecord *m, const Rect *r, Rect *out);

}  // namespace imaging
