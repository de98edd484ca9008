// controls/core/layout.cpp - not written yet.
