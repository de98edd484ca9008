// controls/windows/control_window.cpp - not written yet.
