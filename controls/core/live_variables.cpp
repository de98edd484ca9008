// controls/core/live_variables.cpp - not written yet.
