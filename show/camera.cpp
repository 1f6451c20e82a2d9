#include "show/camera.h"

#include <cmath>

using namespace base;

namespace show {

CameraMatrices buildCamera(const float tracks[8], float aspect) {
    Float3 eye = {tracks[0], tracks[1], tracks[2]};
    // The direction is negated but not normalised: its length scales depth in view space.
    Float3 f = {-tracks[3], -tracks[4], -tracks[5]};
    Matrix4 look = lookAt(eye, f, {0.0f, 1.0f, 0.0f});

    // The angles go through float and double in exactly this order: the rounding is part of the camera's
    // definition, so the matrices come out bit for bit the same on every build.
    float roll = float(double(tracks[7] / 180.0f) * 3.141592653589);
    CameraMatrices out;
    out.view = multiplyMatrices(look, axisAngleRotation({0.0f, 0.0f, 1.0f}, roll));

    float fovRadians = float(double(tracks[6]) * 0.01745329251993889);
    float half = float(double(fovRadians) * 0.5);
    float yScale = 1.0f / std::tan(half);
    float xScale = yScale / aspect;
    out.projection = {{xScale, 0.0f, 0.0f, 0.0f,                 //
                       0.0f, yScale, 0.0f, 0.0f,                 //
                       0.0f, 0.0f, kProjectionDepthScale, -1.0f, //
                       0.0f, 0.0f, kProjectionDepthOffset, 0.0f}};
    return out;
}

} // namespace show
