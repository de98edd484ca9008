// controls/widgets/panel.h - the container control, with an optional frame and title.
#pragma once

#include "controls/core/control.h"

// Border styles, held in the panel's intValue.
constexpr int BORDER_NONE = 0;
constexpr int BORDER_ETCHED = 1;
constexpr int BORDER_RAISED = 2;

// Groups its children, which layout stacks inside it; draws only its own frame and, for an
// etched frame, its name as a title across the top edge. Never takes the focus.
class Panel : public Control {
public:
    Panel();
    // Also re-measures the panel before the window is refreshed.
    void setName(const char* text) override;
    // Widens the panel to its title + 16 and sets topMargin: 14 under a title, else 6.
    void updateSize() override;
    void draw(int, int) override;
};
