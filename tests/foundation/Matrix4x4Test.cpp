// Matrix4x4.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/Matrix4x4.h"

namespace {

Matrix4x4 Sample() {
    // A well-conditioned general matrix (rotation-ish, scale, translation, projective row).
    Matrix4x4 m = {{2.0f, 0.5f, -1.0f, 3.0f, 0.25f, 1.5f, 0.75f, -2.0f, -0.5f, 1.0f, 3.0f, 4.0f, 0.1f, -0.2f,
                    0.3f, 1.0f}};
    return m;
}

void ExpectNear(const Matrix4x4& a, const Matrix4x4& b, float tolerance) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(a.m[i], b.m[i], tolerance) << "element " << i;
    }
}

}  // namespace

TEST(Matrix4x4, LayoutIsRowMajorWithTranslationInColumn3) {
    Matrix4x4 t = Matrix4x4::Identity();
    t[3] = 5.0f;
    t[7] = 6.0f;
    t[11] = 7.0f;
    // Transform the point (1, 2, 3, 1) as a column vector: M * p.
    float p[4] = {1, 2, 3, 1};
    float q[4];
    for (int r = 0; r < 4; ++r) {
        q[r] = t[r * 4 + 0] * p[0] + t[r * 4 + 1] * p[1] + t[r * 4 + 2] * p[2] + t[r * 4 + 3] * p[3];
    }
    EXPECT_EQ(6.0f, q[0]);
    EXPECT_EQ(8.0f, q[1]);
    EXPECT_EQ(10.0f, q[2]);
    EXPECT_EQ(1.0f, q[3]);
}

TEST(Matrix4x4, MultiplyByIdentity) {
    Matrix4x4 a = Sample();
    Matrix4x4 id = Matrix4x4::Identity();
    Matrix4x4 out;
    Matrix4x4::Multiply(out, a, id);
    ExpectNear(a, out, 0.0f);
    Matrix4x4::Multiply(out, id, a);
    ExpectNear(a, out, 0.0f);
}

TEST(Matrix4x4, MultiplyFormula) {
    Matrix4x4 a, b, out;
    for (int i = 0; i < 16; ++i) {
        a.m[i] = static_cast<float>(i + 1);
        b.m[i] = static_cast<float>(16 - i);
    }
    Matrix4x4::Multiply(out, a, b);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            float expected = 0;
            for (int k = 0; k < 4; ++k) expected += a.m[r * 4 + k] * b.m[k * 4 + c];
            EXPECT_EQ(expected, out.m[r * 4 + c]);
        }
    }
    // Order matters: translation then scale differs from scale then translation.
    Matrix4x4 translate = Matrix4x4::Identity();
    translate[3] = 1.0f;
    Matrix4x4 scale = Matrix4x4::Identity();
    scale[0] = 2.0f;
    Matrix4x4::Multiply(out, scale, translate);
    EXPECT_EQ(2.0f, out[3]);
    Matrix4x4::Multiply(out, translate, scale);
    EXPECT_EQ(1.0f, out[3]);
}

TEST(Matrix4x4, InverseOfTranslation) {
    Matrix4x4 t = Matrix4x4::Identity();
    t[3] = 3.0f;
    t[7] = -4.0f;
    t[11] = 5.5f;
    t.Invert();
    Matrix4x4 expected = Matrix4x4::Identity();
    expected[3] = -3.0f;
    expected[7] = 4.0f;
    expected[11] = -5.5f;
    ExpectNear(expected, t, 1e-6f);
}

TEST(Matrix4x4, InverseTimesMatrixIsIdentity) {
    Matrix4x4 a = Sample();
    Matrix4x4 inverse = a;
    inverse.Invert();
    Matrix4x4 product;
    Matrix4x4::Multiply(product, a, inverse);
    ExpectNear(Matrix4x4::Identity(), product, 1e-5f);
    Matrix4x4::Multiply(product, inverse, a);
    ExpectNear(Matrix4x4::Identity(), product, 1e-5f);
}

TEST(Matrix4x4, InvertingTwiceReturnsTheMatrix) {
    Matrix4x4 a = Sample();
    Matrix4x4 b = a;
    b.Invert();
    b.Invert();
    ExpectNear(a, b, 1e-4f);
}

TEST(Matrix4x4, SingularMatrixGivesNonFiniteValues) {
    Matrix4x4 a = Sample();
    a[4] = a[5] = a[6] = a[7] = 0.0f;  // zero row
    a.Invert();
    bool anyNonFinite = false;
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(a.m[i])) anyNonFinite = true;
    }
    EXPECT_TRUE(anyNonFinite);
}
