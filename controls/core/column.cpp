// controls/core/column.cpp - not written yet.
