// Fixed-point matrices: composition order, the anchored operations, the
// quadrilateral map and the rectangle through a matrix.
#include "imaging/matrix.h"

#include <gtest/gtest.h>

using namespace imaging;

namespace {

void through(const MatrixRecord &m, double x, double y, double *ox, double *oy) {
    double d[3][3];
    MatrixToDoubles(&m, d);
    ASSERT_TRUE(TransformPoint(d, x, y, ox, oy));
}

}  // namespace

TEST(Matrix, OperationsAppendInTheOrderCalled) {
    MatrixRecord m;
    SetIdentityMatrix(&m);
    EXPECT_TRUE(IsIdentityMatrix(&m));
    ScaleMatrix(&m, 2 * fixed1, 2 * fixed1, 0, 0);
    TranslateMatrix(&m, 10 * fixed1, 0);  // scale first, then move
    double x, y;
    through(m, 1, 1, &x, &y);
    EXPECT_DOUBLE_EQ(x, 12);
    EXPECT_DOUBLE_EQ(y, 2);
    SetIdentityMatrix(&m);
    TranslateMatrix(&m, 10 * fixed1, 0);
    ScaleMatrix(&m, 2 * fixed1, 2 * fixed1, 0, 0);  // move first, then scale
    through(m, 1, 1, &x, &y);
    EXPECT_DOUBLE_EQ(x, 22);
}

TEST(Matrix, RotationAndScaleKeepTheirAnchor) {
    MatrixRecord m;
    SetIdentityMatrix(&m);
    RotateMatrix(&m, 90 * fixed1, 5 * fixed1, 7 * fixed1);
    double x, y;
    through(m, 5, 7, &x, &y);
    EXPECT_NEAR(x, 5, 1e-4);
    EXPECT_NEAR(y, 7, 1e-4);
    through(m, 6, 7, &x, &y);  // a step right turns into a step down
    EXPECT_NEAR(x, 5, 1e-4);
    EXPECT_NEAR(y, 8, 1e-4);
    SetIdentityMatrix(&m);
    SkewMatrix(&m, fixed1 / 2, 0, 0, 4 * fixed1);
    through(m, 0, 4, &x, &y);
    EXPECT_DOUBLE_EQ(x, 0);
    through(m, 0, 6, &x, &y);
    EXPECT_DOUBLE_EQ(x, 1);
}

TEST(Matrix, QuadToQuadMapsEachCornerIncludingPerspective) {
    const FixedPoint from[4] = {{0, 0}, {100 * fixed1, 0}, {100 * fixed1, 50 * fixed1}, {0, 50 * fixed1}};
    const FixedPoint to[4] = {
        {10 * fixed1, 10 * fixed1}, {90 * fixed1, 20 * fixed1}, {80 * fixed1, 70 * fixed1}, {20 * fixed1, 60 * fixed1}};
    MatrixRecord m;
    ASSERT_EQ(QuadToQuadMatrix(from, to, &m), noErr);
    EXPECT_NE(m.matrix[0][2], 0) << "not an affine map";
    for (int i = 0; i < 4; ++i) {
        double x, y;
        through(m, from[i].x / 65536.0, from[i].y / 65536.0, &x, &y);
        EXPECT_NEAR(x, to[i].x / 65536.0, 0.05) << i;
        EXPECT_NEAR(y, to[i].y / 65536.0, 0.05) << i;
    }
    // A quadrilateral with all corners on a line maps nothing, and the matrix stays.
    const FixedPoint flat[4] = {{0, 0}, {fixed1, 0}, {2 * fixed1, 0}, {3 * fixed1, 0}};
    MatrixRecord before = m;
    EXPECT_EQ(QuadToQuadMatrix(flat, to, &m), paramErr);
    EXPECT_TRUE(EqualMatrix(&m, &before));
}

TEST(Matrix, RectanglesThroughMatrices) {
    MatrixRecord m;
    const Rect src{0, 0, 480, 720}, dst{7, 13, 107, 213};
    ASSERT_EQ(RectMatrix(&m, &src, &dst), noErr);
    Rect out;
    ASSERT_TRUE(TransformRect(&m, &src, &out));
    EXPECT_EQ(out.left, 13);
    EXPECT_EQ(out.top, 7);
    EXPECT_EQ(out.right, 213) << "a fraction of a pixel off in 16.16 still lands on the side";
    EXPECT_EQ(out.bottom, 107);
    const Rect empty{5, 5, 5, 9};
    EXPECT_EQ(RectMatrix(&m, &empty, &dst), paramErr);
    MatrixRecord inv;
    ASSERT_TRUE(InverseMatrix(&m, &inv));
    ConcatMatrix(&m, &inv);  // m then its inverse
    double x, y;
    through(inv, 300, 200, &x, &y);
    EXPECT_NEAR(x, 300, 0.05);
    EXPECT_NEAR(y, 200, 0.05);
    MatrixRecord singular{};
    EXPECT_FALSE(InverseMatrix(&singular, &inv));
}

TEST(Matrix, HugeValuesClampInsteadOfWrapping) {
    MatrixRecord m;
    SetIdentityMatrix(&m);
    ScaleMatrix(&m, 30000 * fixed1, 30000 * fixed1, 0, 0);
    ScaleMatrix(&m, 30000 * fixed1, 30000 * fixed1, 0, 0);
    EXPECT_EQ(m.matrix[0][0], INT32_MAX);
    TranslateMatrix(&m, INT32_MAX, INT32_MIN);
    EXPECT_EQ(m.matrix[2][0], INT32_MAX);
    EXPECT_EQ(m.matrix[2][1], INT32_MIN);
}
