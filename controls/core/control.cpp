// controls/core/control.cpp - not written yet.
