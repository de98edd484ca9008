// io/e57/rigid_pose.h - a scan's rotation and translation into the file's common frame.
#pragma once

// p' = R·p + t, in double precision because scanner coordinates are often large enough for
// float32 to lose millimetres. The default is the identity.
struct RigidPose {
    double rotation[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double translation[3] = {0, 0, 0};

    // From a quaternion (w the scalar part), normalised first; all zeros gives the identity.
    void setRotation(double w, double x, double y, double z);
    void apply(const double in[3], double out[3]) const {
        for (int i = 0; i < 3; ++i)
            out[i] = rotation[i][0] * in[0] + rotation[i][1] * in[1] + rotation[i][2] * in[2] +
                     translation[i];
    }
};
