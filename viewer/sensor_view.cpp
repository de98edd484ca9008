// viewer/sensor_view.cpp - from the sensor's quaternion to the view's three turns.
#include "viewer/sensor_view.h"

#include <algorithm>
#include <cmath>

namespace {

// The rotation matrix (row, column) of a unit quaternion w x y z; the identity for one that
// cannot be made a unit.
void matrixOf(const double q[4], double r[3][3]) {
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    double w = 1.0, x = 0.0, y = 0.0, z = 0.0;
    if (std::isfinite(norm) && norm > 0.0) {
        w = q[0] / norm;
        x = q[1] / norm;
        y = q[2] / norm;
        z = q[3] / norm;
    }
    r[0][0] = 1 - 2 * (y * y + z * z);
    r[0][1] = 2 * (x * y - w * z);
    r[0][2] = 2 * (x * z + w * y);
    r[1][0] = 2 * (x * y + w * z);
    r[1][1] = 1 - 2 * (x * x + z * z);
    r[1][2] = 2 * (y * z - w * x);
    r[2][0] = 2 * (x * z - w * y);
    r[2][1] = 2 * (y * z + w * x);
    r[2][2] = 1 - 2 * (x * x + y * y);
}

double degreesOf(double radians) {
    return radians * 180.0 / M_PI;
}

} // namespace

void sensorViewRotation(const SensorPose& pose, float degrees[3]) {
    double sensor[3][3];
    matrixOf(pose.rotation, sensor);
    // From the file's frame into the eye's: into the sensor's (the transpose), then half a turn
    // about x, which takes the sensor's +z to -z and its -y to +y.
    double view[3][3];
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            view[row][column] = (row == 0 ? 1.0 : -1.0) * sensor[column][row];
    // The view turns as Rx(a) Ry(b) Rz(c), whose first row is (cb cc, -cb sc, sb) and last
    // column (sb, -sa cb, ca cb).
    const double b = std::asin(std::clamp(view[0][2], -1.0, 1.0));
    double a, c;
    if (std::abs(view[0][2]) < 1.0 - 1e-12) {
        a = std::atan2(-view[1][2], view[2][2]);
        c = std::atan2(-view[0][1], view[0][0]);
    } else {
        // Looking along x: only a + c or a - c is fixed, so c is 0.
        a = std::atan2(view[2][1], view[1][1]);
        c = 0.0;
    }
    degrees[0] = static_cast<float>(degreesOf(a));
    degrees[1] = static_cast<float>(degreesOf(b));
    degrees[2] = static_cast<float>(degreesOf(c));
}
