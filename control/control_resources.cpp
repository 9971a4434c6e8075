// The control program's strings and templates: ids, titles, geometry and controls as its resource
// script has them.
#include "control/control_resources.h"

namespace vp::control {
namespace {

constexpr uint32_t kModalStyle = kModalDialogStyle;
constexpr const char* kFont = "MS Shell Dlg";

using K = ControlKind;
constexpr uint32_t kTab = kStyleTabStop;

const DialogTemplate kMainWindow{
    125,
    "Veilpost Control",
    152,
    136,
    kFont,
    8,
    kDsSetFont | kWsCaption | kWsSysMenu | kWsMinimizeBox,
    {
        {kIdAboutButton, K::kDefPushButton, kTab, 7, 7, 138, 14, "&About Veilpost..."},
        {kIdOptions, K::kPushButton, kTab, 7, 24, 138, 14, "&Options..."},
        {kIdClear, K::kPushButton, kTab, 7, 41, 138, 14, "&Clear cached passphrase"},
        {kIdExit, K::kPushButton, kTab, 7, 58, 138, 14, "&Exit"},
        {kIdAutoStart, K::kCheckBox, kTab, 7, 80, 137, 10,
         "Run automatically when Windows &starts"},
        {kIdStartMin, K::kCheckBox, kTab, 7, 93, 137, 10, "Start &minimized"},
        {kIdTrayMin, K::kCheckBox, kTab, 7, 106, 137, 10, "Minimize to &tray"},
    }};

const DialogTemplate kAboutBox{109,
                               "About Veilpost",
                               325,
                               174,
                               kFont,
                               8,
                               kModalStyle,
                               {
                                   {-1, K::kStatic, 0, 0, 0, 325, 49, ""},
                                   {-1, K::kStatic, 0, 12, 74, 60, 72, ""},
                                   {kIdVersionLine, K::kStatic, 0, 94, 60, 217, 8, ""},
                                   {1, K::kDefPushButton, kTab, 263, 149, 50, 15, "OK"},
                               }};

}  // namespace

const char* ControlString(int id) {
  switch (id) {
    case kStrOptions:
      return "Options ...";
    case kStrClear:
      return "Clear cached passphrase";
    case kStrExit:
      return "Exit";
    case kStrCleared:
      return "Passphrase cleared.";
    case kStrAbout:
      return "About Veilpost ...";
    case kStrInformation:
      return "Information";
    case kStrWarning:
      return "Warning";
    case kStrError:
      return "Error";
    default:
      return "";
  }
}

const DialogTemplate* ControlTemplate(int id) {
  switch (id) {
    case 125:
      return &kMainWindow;
    case 109:
      return &kAboutBox;
    default:
      return nullptr;
  }
}

}  // namespace vp::control
