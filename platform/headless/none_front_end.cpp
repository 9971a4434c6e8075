// The front end for a process nobody can answer: every prompt gets Cancel, and stderr says so.
#include <cstdio>
#include <memory>

#include "platform/headless/front_ends.h"
#include "platform/headless/headless_ui.h"

namespace vp::headless {
namespace {

class NoneUi final : public HeadlessUi {
 protected:
  BoxAnswer AnswerBox(const std::string&, const std::string&, unsigned style) override {
    return {UnansweredBoxAnswer(style), false};
  }

  // An OK box needs no answer, but its text is the only trace the user gets of it.
  void ShowBox(const std::string& text, const std::string& caption, unsigned style) override {
    (void)style;
    Event e("message");
    e.Text("caption", caption).Text("text", text).Text("answer", "ok");
    fprintf(stderr, "veilpost: message: %s\n", e.Json().c_str());
    fflush(stderr);
  }

  bool RunDialog(VirtualDialog&) override { return false; }

  void Unanswered(const Event& event) override {
    fprintf(stderr, "veilpost: no one to answer: %s\n", event.Json().c_str());
    fflush(stderr);
  }
};

}  // namespace

std::unique_ptr<UserInterface> MakeNoneUi() {
  return std::make_unique<NoneUi>();
}

}  // namespace vp::headless
