// io/e57/rigid_pose.cpp - the rotation matrix of a unit quaternion.
#include "io/e57/rigid_pose.h"

#include <cmath>

void RigidPose::setRotation(double w, double x, double y, double z) {
    const double norm = std::sqrt(w * w + x * x + y * y + z * z);
    if (norm > 0 && std::isfinite(norm)) {
        w /= norm;
        x /= norm;
        y /= norm;
        z /= norm;
    } else {
        w = 1;
        x = y = z = 0;
    }
    const double m[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                            {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                            {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            rotation[i][j] = m[i][j];
}
