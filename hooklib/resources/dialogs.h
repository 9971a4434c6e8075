// The library's dialog templates, as data.
#pragma once
#include "platform/dialog_template.h"

namespace vp {

// The template of dialog `id`, or null when the library has no such dialog.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace vp
