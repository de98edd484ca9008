// controls/windows/docking.cpp - not written yet.
