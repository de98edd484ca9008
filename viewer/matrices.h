// viewer/matrices.h - 4 x 4 matrices in double, column-major, built up as GL builds its own.
#pragma once

// Each operation but the product multiplies m on the right, as glTranslate, glRotate and
// gluPerspective multiply the current matrix: a sequence of them reads as the GL calls would.
void identityMatrix(double m[16]);
// product = a x b; product is neither a nor b.
void multiplyMatrices(const double a[16], const double b[16], double product[16]);
void translateMatrix(double m[16], double x, double y, double z);
// Degrees about the x (0), y (1) or z (2) axis, anticlockwise looking from the axis's positive
// end; a turn of 0 leaves m as it is.
void rotateMatrix(double m[16], double degrees, int axis);
// gluPerspective's matrix, in its arithmetic; m unchanged where gluPerspective leaves it (no
// depth between the planes, no field of view or aspect 0).
void perspectiveMatrix(double m[16], double fieldOfViewY, double aspect, double zNear, double zFar);
