// controls/core/bitmaps.cpp - not written yet.
