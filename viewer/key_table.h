// viewer/key_table.h - the graphics window's keys: which does what, and how the help names them.
#pragma once

enum class KeyAction {
    PointSize, // '-' smaller, the others larger
    Colours,
    Withheld,
    Legend,
    Background,
    Speed, // '[' slower, the other faster
    Pan,
    EyeDome,
    Measure,
    Frame,
    StandardView, // '1' to '6' in the order of StandardView
    ResetView,
    Screenshot,
    Status,
    Help,
    Quit,
};

// One line of the key help: every character that acts (keys), how the help names them, what it
// says they do, and the action they take.
struct KeyBinding {
    const char* keys;
    const char* name;
    const char* help;
    KeyAction action;
};

// In the order the help lists them.
extern const KeyBinding keyBindings[];
extern const int keyBindingCount;

// The binding of a key; nullptr for a key that does nothing.
const KeyBinding* keyBinding(unsigned char key);
