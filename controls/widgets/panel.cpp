// controls/widgets/panel.cpp - not written yet.
