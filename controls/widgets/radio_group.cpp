// controls/widgets/radio_group.cpp - not written yet.
