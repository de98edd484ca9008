// controls/windows/glut_callbacks.cpp - not written yet.
