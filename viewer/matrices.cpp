// viewer/matrices.cpp - the products, translations, turns and perspective of the view.
#include "viewer/matrices.h"

#include <cmath>
#include <cstring>

namespace {

void multiplyInPlace(double m[16], const double by[16]) {
    double product[16];
    multiplyMatrices(m, by, product);
    std::memcpy(m, product, sizeof product);
}

} // namespace

void identityMatrix(double m[16]) {
    for (int i = 0; i < 16; ++i)
        m[i] = i % 5 == 0 ? 1.0 : 0.0;
}

void multiplyMatrices(const double a[16], const double b[16], double product[16]) {
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            product[column * 4 + row] = a[row] * b[column * 4] + a[4 + row] * b[column * 4 + 1] +
                                        a[8 + row] * b[column * 4 + 2] +
                                        a[12 + row] * b[column * 4 + 3];
}

void translateMatrix(double m[16], double x, double y, double z) {
    // Only the last column changes.
    for (int row = 0; row < 4; ++row)
        m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
}

void rotateMatrix(double m[16], double degrees, int axis) {
    if (degrees == 0.0)
        return;
    const double radians = degrees * M_PI / 180.0;
    const double c = std::cos(radians), s = std::sin(radians);
    // The two axes the turn moves, in the order that makes it anticlockwise.
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    double turn[16];
    identityMatrix(turn);
    turn[u * 4 + u] = c;
    turn[u * 4 + v] = s;
    turn[v * 4 + u] = -s;
    turn[v * 4 + v] = c;
    multiplyInPlace(m, turn);
}

void perspectiveMatrix(double m[16], double fieldOfViewY, double aspect, double zNear,
                       double zFar) {
    const double radians = fieldOfViewY / 2 * M_PI / 180;
    const double depth = zFar - zNear;
    const double sine = std::sin(radians);
    if (depth == 0 || sine == 0 || aspect == 0)
        return;
    const double cotangent = std::cos(radians) / sine;
    double perspective[16];
    identityMatrix(perspective);
    perspective[0] = cotangent / aspect;
    perspective[5] = cotangent;
    perspective[10] = -(zFar + zNear) / depth;
    perspective[11] = -1;
    perspective[14] = -2 * zNear * zFar / depth;
    perspective[15] = 0;
    multiplyInPlace(m, perspective);
}
