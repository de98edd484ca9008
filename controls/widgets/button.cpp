// controls/widgets/button.cpp - not written yet.
