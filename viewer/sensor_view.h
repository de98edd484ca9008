// viewer/sensor_view.h - the turn that looks at a depth camera's cloud as the camera did.
#pragma once

#include "io/sensor_pose.h"

// The rotation, in degrees about x, y and z as ViewState.rotation holds them, under which the
// eye (looking along -z, y up) looks along the sensor's +z with the sensor's -y up: the
// picture the camera took. A rotation that is not a usable quaternion (zero, not finite)
// counts as none.
void sensorViewRotation(const SensorPose& pose, float degrees[3]);
