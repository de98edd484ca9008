// io/sensor_pose.h - where a depth camera stood when it took an organised cloud.
#pragma once

// In the file's frame: a point p of the sensor's frame (x right, y down, z forward) is at
// rotation(p) + translation, rotation a unit quaternion w x y z.
struct SensorPose {
    double translation[3] = {0.0, 0.0, 0.0};
    double rotation[4] = {1.0, 0.0, 0.0, 0.0};
};
