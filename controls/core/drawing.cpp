// controls/core/drawing.cpp - not written yet.
