// controls/windows/window_manager.cpp - not written yet.
