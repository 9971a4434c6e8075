// The front ends of the headless user interface; Ui() picks one from VEILPOST_UI.
//
// Each returns an owned interface. Events go to the transcript named by VEILPOST_UI_LOG in all
// of them.
#pragma once
#include <memory>
#include <string>

#include "platform/ui.h"

namespace vp::headless {

// Answers from the script at `path` (see script_answers.h); an unreadable script is recorded as
// a script error and every prompt is then left unanswered.
std::unique_ptr<UserInterface> MakeScriptUi(const std::string& path);
// Answers every prompt with Cancel / No / the closing button and writes one line per prompt on
// standard error.
std::unique_ptr<UserInterface> MakeNoneUi();
// Draws boxes and dialogs on the controlling terminal and reads the answers from its keyboard;
// null when no terminal can be opened.
std::unique_ptr<UserInterface> MakeTerminalUi();

}  // namespace vp::headless
