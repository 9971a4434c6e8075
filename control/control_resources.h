// The control program's strings and dialog templates, as data.
#pragma once
#include <vector>

#include "platform/dialog_template.h"

namespace vp::control {

enum : int {
  kStrOptions = 1,
  kStrClear = 2,
  kStrExit = 3,
  kStrCleared = 4,
  kStrAbout = 5,
  kStrInformation = 7,
  kStrWarning = 8,
  kStrError = 9,
};

enum : int {
  kIdAboutButton = 1024,
  kIdOptions = 1025,
  kIdClear = 1026,
  kIdExit = 1028,
  kIdAutoStart = 1029,
  kIdStartMin = 1030,
  kIdTrayMin = 1031,
  kIdVersionLine = 1007,
  kIdCacheMinutes = 1002,
  kIdCacheUpDown = 1003,
  kIdGpgPath = 1008,
  kIdBrowse = 1009,
  kIdUseAgent = 1034,
  kIdCacheLabel = 1035,
  kIdMinutesLabel = 1036,
};

// The text of the control program's string `id`, or "" when it has none.
const char* ControlString(int id);

// Templates 125 (main window), 109 (About), 110 and 103 (configuration); null for others.
const DialogTemplate* ControlTemplate(int id);

}  // namespace vp::control
