// The camera: the eight camera tracks turned into the view and projection matrices.
#pragma once

#include "base/matrix.h"

namespace show {

struct CameraMatrices {
    base::Matrix4 view;
    base::Matrix4 projection;
};

// The camera tracks 0-7 (CameraPosX/Y/Z, CameraDirX/Y/Z, CameraFOV in degrees, CameraRoll in degrees)
// turned into the view and the projection matrix. `aspect` is width / height of the screen.
CameraMatrices buildCamera(const float tracks[8], float aspect);

// Right-handed projection mapping depth 0.1..1000 to 0..1.
inline constexpr float kProjectionDepthScale = -1.0001f;   // far / (near - far)
inline constexpr float kProjectionDepthOffset = -0.10001f; // near x far / (near - far)

} // namespace show
