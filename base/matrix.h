// Camera mathematics. A matrix is 16 floats stored row by row (row r, column c at 4r + c); points are
// row vectors transformed as p x M, so a translation sits in elements 12-14 and a product is written
// in the order of application (view x projection).
#pragma once

#include <cstdint>

namespace base {

struct Float2 {
    float x, y;
};

struct Float3 {
    float x, y, z;
};

struct Matrix4 {
    float m[16];
};

// Scaled by 1 / length; a zero vector yields non-finite components.
Float3 normalize3(Float3 v);

// A view matrix looking along f (not normalised: its length scales view depth) with the given up.
Matrix4 lookAt(Float3 eye, Float3 f, Float3 up);

// Rotation by `angle` radians about `axis` (normalised here).
Matrix4 axisAngleRotation(Float3 axis, float angle);

Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b);

// General inverse by cofactors. A singular matrix yields non-finite elements.
Matrix4 invertMatrix(const Matrix4& m);

} // namespace base
