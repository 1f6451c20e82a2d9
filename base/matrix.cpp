#include "base/matrix.h"

#include <cmath>

namespace base {

namespace {

Float3 cross(Float3 a, Float3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(Float3 a, Float3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

} // namespace

Float3 normalize3(Float3 v) {
    float scale = 1.0f / std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x * scale, v.y * scale, v.z * scale};
}

Matrix4 lookAt(Float3 eye, Float3 f, Float3 up) {
    Float3 s = normalize3(cross(f, up));
    Float3 u = normalize3(cross(f, s));
    return {{s.x, u.x, f.x, 0.0f, //
             s.y, u.y, f.y, 0.0f, //
             s.z, u.z, f.z, 0.0f, //
             -dot(s, eye), -dot(u, eye), -dot(f, eye), 1.0f}};
}

Matrix4 axisAngleRotation(Float3 axis, float angle) {
    Float3 a = normalize3(axis);
    float k = std::cos(angle);
    float q = std::sin(angle);
    float t = 1.0f - k;
    return {{a.x * a.x * t + k, a.x * a.y * t + a.z * q, a.x * a.z * t - a.y * q, 0.0f,
             a.x * a.y * t - a.z * q, a.y * a.y * t + k, a.y * a.z * t + a.x * q, 0.0f,
             a.x * a.z * t + a.y * q, a.y * a.z * t - a.x * q, a.z * a.z * t + k, 0.0f, //
             0.0f, 0.0f, 0.0f, 1.0f}};
}

Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b) {
    Matrix4 out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.m[4 * r + k] * b.m[4 * k + c];
            out.m[4 * r + c] = sum;
        }
    return out;
}

Matrix4 invertMatrix(const Matrix4& matrix) {
    const float* m = matrix.m;
    // 2 x 2 minors of the upper two rows (a) and the lower two rows (b), by column pair.
    float a01 = m[0] * m[5] - m[1] * m[4], a02 = m[0] * m[6] - m[2] * m[4], a03 = m[0] * m[7] - m[3] * m[4];
    float a12 = m[1] * m[6] - m[2] * m[5], a13 = m[1] * m[7] - m[3] * m[5], a23 = m[2] * m[7] - m[3] * m[6];
    float b01 = m[8] * m[13] - m[9] * m[12], b02 = m[8] * m[14] - m[10] * m[12];
    float b03 = m[8] * m[15] - m[11] * m[12], b12 = m[9] * m[14] - m[10] * m[13];
    float b13 = m[9] * m[15] - m[11] * m[13], b23 = m[10] * m[15] - m[11] * m[14];

    // The adjugate: the transposed cofactors.
    Matrix4 adj = {{
        m[5] * b23 - m[6] * b13 + m[7] * b12,
        -m[1] * b23 + m[2] * b13 - m[3] * b12,
        m[13] * a23 - m[14] * a13 + m[15] * a12,
        -m[9] * a23 + m[10] * a13 - m[11] * a12,
        -m[4] * b23 + m[6] * b03 - m[7] * b02,
        m[0] * b23 - m[2] * b03 + m[3] * b02,
        -m[12] * a23 + m[14] * a03 - m[15] * a02,
        m[8] * a23 - m[10] * a03 + m[11] * a02,
        m[4] * b13 - m[5] * b03 + m[7] * b01,
        -m[0] * b13 + m[1] * b03 - m[3] * b01,
        m[12] * a13 - m[13] * a03 + m[15] * a01,
        -m[8] * a13 + m[9] * a03 - m[11] * a01,
        -m[4] * b12 + m[5] * b02 - m[6] * b01,
        m[0] * b12 - m[1] * b02 + m[2] * b01,
        -m[12] * a12 + m[13] * a02 - m[14] * a01,
        m[8] * a12 - m[9] * a02 + m[10] * a01,
    }};
    // The first row of the input against the first column of the adjugate.
    float determinant = m[0] * adj.m[0] + m[1] * adj.m[4] + m[2] * adj.m[8] + m[3] * adj.m[12];
    float scale = 1.0f / determinant;
    for (float& e : adj.m) e *= scale;
    return adj;
}

} // namespace base
