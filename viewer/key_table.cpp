// viewer/key_table.cpp - the table of the graphics window's keys.
#include "viewer/key_table.h"

#include <cstring>

// '=' is + without shift on most keyboards; \x1b is Escape.
// clang-format off
const KeyBinding keyBindings[] = {
    {"+=-",    "+  -",   "point size",                        KeyAction::PointSize},
    {"c",      "c",      "colours: file, height, grey, attributes", KeyAction::Colours},
    {"w",      "w",      "show / hide withheld points",       KeyAction::Withheld},
    {"l",      "l",      "legend of the colours",             KeyAction::Legend},
    {"b",      "b",      "background: black, white, grey",    KeyAction::Background},
    {"[]",     "[  ]",   "slower / faster moves and zoom",    KeyAction::Speed},
    {"p",      "p",      "pan: follow the pointer / fixed",   KeyAction::Pan},
    {"e",      "e",      "eye-dome lighting: shade by depth", KeyAction::EyeDome},
    {"m",      "m",      "measure: start / end and print",    KeyAction::Measure},
    {"f",      "f",      "frame the whole cloud",             KeyAction::Frame},
    {"123456", "1 - 6",  "front back left right top bottom",  KeyAction::StandardView},
    {"0r",     "0  r",   "reset the view",                    KeyAction::ResetView},
    {"s",      "s",      "save a screenshot (PNG)",           KeyAction::Screenshot},
    {"i",      "i",      "status line",                       KeyAction::Status},
    {"h?",     "h  ?",   "this help",                         KeyAction::Help},
    {"q\x1b",  "q  Esc", "quit",                              KeyAction::Quit},
};
// clang-format on
const int keyBindingCount = static_cast<int>(sizeof keyBindings / sizeof keyBindings[0]);

const KeyBinding* keyBinding(unsigned char key) {
    // strchr would find the terminator of every row.
    if (key == '\0')
        return nullptr;
    for (const KeyBinding& binding : keyBindings)
        if (std::strchr(binding.keys, key) != nullptr)
            return &binding;
    return nullptr;
}
