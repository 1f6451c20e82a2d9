#include "show/camera.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

using namespace base;
using namespace show;

namespace {

void expectRow(const Matrix4& m, int row, float a, float b, float c, float d, float tolerance = 1e-6f) {
    EXPECT_NEAR(m.m[4 * row + 0], a, tolerance) << "row " << row;
    EXPECT_NEAR(m.m[4 * row + 1], b, tolerance) << "row " << row;
    EXPECT_NEAR(m.m[4 * row + 2], c, tolerance) << "row " << row;
    EXPECT_NEAR(m.m[4 * row + 3], d, tolerance) << "row " << row;
}

void expectIdentity(const Matrix4& m, float tolerance) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(m.m[4 * r + c], r == c ? 1.0f : 0.0f, tolerance) << r << "," << c;
}

TEST(Matrix, Normalize3ScalesToUnitLengthAndZeroGivesNonFinite) {
    Float3 n = normalize3({3.0f, 4.0f, 0.0f});
    EXPECT_FLOAT_EQ(n.x, 0.6f);
    EXPECT_FLOAT_EQ(n.y, 0.8f);
    EXPECT_EQ(n.z, 0.0f);
    Float3 z = normalize3({0.0f, 0.0f, 0.0f});
    EXPECT_FALSE(std::isfinite(z.x));
}

TEST(Matrix, ProductsAreInTheOrderOfApplication) {
    // Translate by (1, 2, 3), then scale by 2: the translation is scaled too.
    Matrix4 translate = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}};
    Matrix4 scale = {{2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}};
    Matrix4 both = multiplyMatrices(translate, scale);
    expectRow(both, 0, 2, 0, 0, 0);
    expectRow(both, 3, 2, 4, 6, 1);
    Matrix4 a = {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
    Matrix4 b = {{0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0}}; // cycles the columns
    expectRow(multiplyMatrices(a, b), 0, 4, 1, 2, 3);
    expectRow(multiplyMatrices(a, b), 2, 12, 9, 10, 11);
}

TEST(Matrix, InverseUndoesGeneralMatricesAndSingularOnesBecomeNonFinite) {
    const Matrix4 matrices[] = {
        {{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1}},
        {{1, 2, 0, 1, 0, 1, 3, 0, 2, 0, 1, 4, 1, 1, 1, 1}},
        // A permutation, and a dense matrix in which every cofactor term counts.
        {{0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0}},
        {{4, 7, 2, 3, 1, 5, 9, 2, 6, 1, 8, 4, 3, 2, 5, 7}},
    };
    for (const Matrix4& m : matrices) {
        expectIdentity(multiplyMatrices(m, invertMatrix(m)), 2e-5f);
        expectIdentity(multiplyMatrices(invertMatrix(m), m), 2e-5f);
    }
    Matrix4 singular = {{1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 1, 0, 1, 0}};
    Matrix4 inverse = invertMatrix(singular);
    EXPECT_FALSE(std::isfinite(inverse.m[0]));
}

TEST(Camera, ContentDirectionLooksDownZWithUnnormalisedDepth) {
    // The show holds CameraDirZ at 25 and leaves X and Y at 0.
    const float tracks[8] = {0.3f, -1.0f, -16.0f, 0.0f, 0.0f, 25.0f, 2.75f, 0.0f};
    Matrix4 view = buildCamera(tracks, 16.0f / 9.0f).view;
    expectRow(view, 0, 1, 0, 0, 0);
    expectRow(view, 1, 0, -1, 0, 0);
    expectRow(view, 2, 0, 0, -25, 0);
    expectRow(view, 3, -0.3f, -1.0f, 25.0f * -16.0f, 1, 1e-4f);
}

TEST(Camera, RollOfNinetyDegreesTurnsViewSpaceAboutZ) {
    const float tracks[8] = {0, 0, 0, 0, 0, 25, 60, 90};
    Matrix4 view = buildCamera(tracks, 16.0f / 9.0f).view;
    // lookAt gives rows (1,0,0,0), (0,-1,0,0), (0,0,-25,0); the roll rows are (~0,1,0,0), (-1,~0,0,0).
    expectRow(view, 0, 0, 1, 0, 0);
    expectRow(view, 1, 1, 0, 0, 0);
    expectRow(view, 2, 0, 0, -25, 0, 1e-5f);
    expectRow(view, 3, 0, 0, 0, 1);
    Matrix4 roll = axisAngleRotation({0, 0, 1}, 3.14159265f / 2.0f);
    expectRow(roll, 0, 0, 1, 0, 0);
    expectRow(roll, 1, -1, 0, 0, 0);
    expectRow(roll, 2, 0, 0, 1, 0);
    expectRow(roll, 3, 0, 0, 0, 1);
}

TEST(Camera, ProjectionForSixtyDegreesOnAWideScreen) {
    const float tracks[8] = {0, 0, -16, 0, 0, 25, 60, 0};
    Matrix4 p = buildCamera(tracks, 1920.0f / 1080.0f).projection;
    EXPECT_FLOAT_EQ(p.m[5], 1.7320508f);
    EXPECT_FLOAT_EQ(p.m[0], 0.9742786f);
    EXPECT_EQ(std::bit_cast<uint32_t>(p.m[10]), 0xBF800347u);
    EXPECT_EQ(std::bit_cast<uint32_t>(p.m[14]), 0xBDCCD20Bu);
    EXPECT_EQ(p.m[11], -1.0f);
    EXPECT_EQ(p.m[15], 0.0f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13}) EXPECT_EQ(p.m[i], 0.0f) << i;
}

TEST(Camera, InverseProjectionIsFiniteForEveryFieldOfViewInsideTheRange) {
    for (float fov = 0.05f; fov < 180.0f; fov += 0.25f) {
        const float tracks[8] = {0, 0, -16, 0, 0, 25, fov, 0};
        Matrix4 inverse = invertMatrix(buildCamera(tracks, 1920.0f / 1080.0f).projection);
        for (float e : inverse.m) ASSERT_TRUE(std::isfinite(e)) << "fov " << fov;
    }
    for (float fov : {0.001f, 179.9f}) {
        const float tracks[8] = {0, 0, -16, 0, 0, 25, fov, 0};
        Matrix4 inverse = invertMatrix(buildCamera(tracks, 1920.0f / 1080.0f).projection);
        for (float e : inverse.m) ASSERT_TRUE(std::isfinite(e)) << "fov " << fov;
    }
}

} // namespace
