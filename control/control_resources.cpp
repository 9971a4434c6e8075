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
                                   {-1, K::kBitmap, kStaticCenterImage, 0, 0, 325, 49, "#119"},
                                   {-1, K::kBitmap, 0, 12, 74, 60, 72, "#122"},
                                   {kIdVersionLine, K::kStatic, kStaticRight, 94, 60, 217, 8, ""},
                                   {1, K::kDefPushButton, kTab, 263, 149, 50, 15, "OK"},
                               }};

// The cache part both configuration templates share.
std::vector<vp::ControlTemplate> CacheControls() {
  return {
      {-1, K::kGroupBox, 0, 7, 7, 260, 85, "Configuration"},
      {kIdCacheLabel, K::kStatic, 0, 21, 28, 75, 9, "Cache passphrase for"},
      {kIdCacheMinutes, K::kEdit, kStyleBorder | kEditAutoHScroll | kTab, 99, 25, 27, 14, ""},
      {kIdCacheUpDown, K::kUpDown, 0, 126, 25, 10, 14, ""},
      {kIdMinutesLabel, K::kStatic, 0, 141, 28, 25, 9, "minutes"},
  };
}

DialogTemplate GnuPGConfiguration() {
  DialogTemplate t{110, "Configuration", 274, 118, kFont, 8, kModalStyle, CacheControls()};
  t.controls.insert(
      t.controls.end(),
      {
          {kIdUseAgent, K::kCheckBox, kTab, 182, 28, 74, 10, "&Use GnuPG agent"},
          {-1, K::kStatic, 0, 21, 51, 97, 9, "GnuPG executable location"},
          {kIdGpgPath, K::kEdit, kStyleBorder | kEditReadOnly | kEditAutoHScroll | kTab, 21, 64,
           175, 13, ""},
          {kIdBrowse, K::kPushButton, kTab, 202, 64, 51, 13, "&Browse"},
          {1, K::kDefPushButton, kTab, 163, 97, 50, 14, "&OK"},
          {2, K::kPushButton, kTab, 217, 97, 50, 14, "&Cancel"},
      });
  return t;
}

DialogTemplate CacheConfiguration() {
  DialogTemplate t{103, "Configuration", 187, 99, kFont, 8, kModalStyle, CacheControls()};
  t.controls.front().w = 173;
  t.controls.insert(t.controls.end(), {
                                          {1, K::kDefPushButton, kTab, 76, 78, 50, 14, "&OK"},
                                          {2, K::kPushButton, kTab, 130, 78, 50, 14, "&Cancel"},
                                      });
  return t;
}

const DialogTemplate kGnuPGConfiguration = GnuPGConfiguration();
const DialogTemplate kCacheConfiguration = CacheConfiguration();

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
    case 110:
      return &kGnuPGConfiguration;
    case 103:
      return &kCacheConfiguration;
    default:
      return nullptr;
  }
}

}  // namespace vp::control
