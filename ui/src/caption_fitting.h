// Captions on the controls, wrapped and fitted to the room each control has.
#pragma once

#include "zarn/ui/captions.h"

class QWidget;

namespace zarn::ui {

// Sets the captions of `set` on the children of `window` that they name (and the window's
// title), shrinking a control's font until its caption fits; controls that stand together
// share one size.
void applyCaptions(QWidget& window, CaptionSet set);

}  // namespace zarn::ui
