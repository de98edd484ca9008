// controls/windows/input_dispatch.cpp - not written yet.
