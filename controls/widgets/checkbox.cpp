// controls/widgets/checkbox.cpp - not written yet.
