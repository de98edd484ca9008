// viewer/view.h - the matrices and viewport a frame is seen through, as data.
#pragma once

// GL's column-major modelview and projection matrices and its viewport (x, y, width, height),
// computed on the CPU from the view state (see camera.h) and loaded into GL for each frame.
// Picking, framing and the CPU raster read them here, never from GL.
struct View {
    double modelview[16] = {};
    double projection[16] = {};
    int viewport[4] = {};

    // projection x modelview: from scene to clip coordinates.
    void combined(double clip[16]) const;
    // The planes of the view volume in scene coordinates, (a, b, c, d) each: left, right,
    // bottom, top, near, far. A point p is inside where a p.x + b p.y + c p.z + d >= 0 for all
    // six, as GL clips it. Not normalised.
    void clipPlanes(double planes[6][4]) const;
    // Eye coordinates of a scene point.
    void toEye(const double scene[3], double eye[3]) const;
    // Into the current context: the viewport and both matrices, GL_MODELVIEW left current.
    void load() const;
};
