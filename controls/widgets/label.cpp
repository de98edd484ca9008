// controls/widgets/label.cpp - not written yet.
