// Matrix4x4: the 4x4 single-precision matrix of the transform stacks. Row-major:
// element (row r, column c) at m[r * 4 + c]; points are column vectors, M * (x, y, z, 1), so the
// translation sits in m[3], m[7] and m[11]. The engine fills and reads the elements directly;
// multiplication and in-place inversion are the only operations.
#pragma once

struct Matrix4x4 {
    float m[16];

    float& operator[](int index) { return m[index]; }
    const float& operator[](int index) const { return m[index]; }

    // The identity matrix (a convenience for callers and tests).
    static Matrix4x4 Identity();

    // out = a * b. out must not be a or b: its elements are written while a and b are read.
    static void Multiply(Matrix4x4& out, const Matrix4x4& a, const Matrix4x4& b);

    // Replaces the matrix by its inverse (adjugate / determinant). There is no test for a zero
    // determinant: a singular matrix yields non-finite elements, silently.
    void Invert();
};
