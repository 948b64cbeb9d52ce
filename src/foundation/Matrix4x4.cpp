// Matrix4x4.
#include "foundation/Matrix4x4.h"

Matrix4x4 Matrix4x4::Identity() {
    Matrix4x4 result = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    return result;
}

void Matrix4x4::Multiply(Matrix4x4& out, const Matrix4x4& a, const Matrix4x4& b) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r * 4 + c] = a.m[r * 4 + 0] * b.m[0 * 4 + c] + a.m[r * 4 + 1] * b.m[1 * 4 + c] +
                               a.m[r * 4 + 2] * b.m[2 * 4 + c] + a.m[r * 4 + 3] * b.m[3 * 4 + c];
        }
    }
}

void Matrix4x4::Invert() {
    const float* a = m;
    // 2x2 minors of the lower rows (2 and 3), by column pairs.
    float s01 = a[8] * a[13] - a[9] * a[12];
    float s02 = a[8] * a[14] - a[10] * a[12];
    float s03 = a[8] * a[15] - a[11] * a[12];
    float s12 = a[9] * a[14] - a[10] * a[13];
    float s13 = a[9] * a[15] - a[11] * a[13];
    float s23 = a[10] * a[15] - a[11] * a[14];

    // Cofactors of the first row; the determinant by expansion along it.
    float c00 = a[5] * s23 - a[6] * s13 + a[7] * s12;
    float c01 = -(a[4] * s23 - a[6] * s03 + a[7] * s02);
    float c02 = a[4] * s13 - a[5] * s03 + a[7] * s01;
    float c03 = -(a[4] * s12 - a[5] * s02 + a[6] * s01);
    float determinant = a[0] * c00 + a[1] * c01 + a[2] * c02 + a[3] * c03;

    // Cofactors of the second row.
    float c10 = -(a[1] * s23 - a[2] * s13 + a[3] * s12);
    float c11 = a[0] * s23 - a[2] * s03 + a[3] * s02;
    float c12 = -(a[0] * s13 - a[1] * s03 + a[3] * s01);
    float c13 = a[0] * s12 - a[1] * s02 + a[2] * s01;

    // 2x2 minors of the upper rows (0 and 1), for the cofactors of rows 2 and 3.
    float u01 = a[0] * a[5] - a[1] * a[4];
    float u02 = a[0] * a[6] - a[2] * a[4];
    float u03 = a[0] * a[7] - a[3] * a[4];
    float u12 = a[1] * a[6] - a[2] * a[5];
    float u13 = a[1] * a[7] - a[3] * a[5];
    float u23 = a[2] * a[7] - a[3] * a[6];

    float c20 = a[13] * u23 - a[14] * u13 + a[15] * u12;
    float c21 = -(a[12] * u23 - a[14] * u03 + a[15] * u02);
    float c22 = a[12] * u13 - a[13] * u03 + a[15] * u01;
    float c23 = -(a[12] * u12 - a[13] * u02 + a[14] * u01);

    float c30 = -(a[9] * u23 - a[10] * u13 + a[11] * u12);
    float c31 = a[8] * u23 - a[10] * u03 + a[11] * u02;
    float c32 = -(a[8] * u13 - a[9] * u03 + a[11] * u01);
    float c33 = a[8] * u12 - a[9] * u02 + a[10] * u01;

    // Inverse = transposed cofactors / determinant (no zero test, by definition).
    float inverse = 1.0f / determinant;
    m[0] = c00 * inverse;
    m[1] = c10 * inverse;
    m[2] = c20 * inverse;
    m[3] = c30 * inverse;
    m[4] = c01 * inverse;
    m[5] = c11 * inverse;
    m[6] = c21 * inverse;
    m[7] = c31 * inverse;
    m[8] = c02 * inverse;
    m[9] = c12 * inverse;
    m[10] = c22 * inverse;
    m[11] = c32 * inverse;
    m[12] = c03 * inverse;
    m[13] = c13 * inverse;
    m[14] = c23 * inverse;
    m[15] = c33 * inverse;
}
