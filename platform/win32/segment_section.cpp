// Shared segment on Windows: a data section of the hook library, ".passphr", that the loader
// maps once for every process loading the DLL (the section is marked shared). It holds the
// initial values from the image, so the first process to load the DLL sees them and later ones
// see what earlier ones left, for as long as any process keeps the DLL loaded.
//
// The thirteen variables are exported by name as data (see orlavex.def): each name is a symbol
// at its field's offset in the one block, so the block's layout is the struct's.
#include <cstddef>

#include "platform/segment.h"

extern "C" {
__attribute__((section(".passphr"), shared)) vp::SharedSettings vp_passphr_block =
    vp::kInitialSharedSettings;
}

#define VP_STRINGIFY2(x) #x
#define VP_STRINGIFY(x) VP_STRINGIFY2(x)
#define VP_LABEL(name) VP_STRINGIFY(__USER_LABEL_PREFIX__) #name
#define VP_SHARED_VARIABLE(field)                                        \
  asm(".globl " VP_LABEL(field) "\n.set " VP_LABEL(field) ", " VP_LABEL( \
      vp_passphr_block) " + %c0" ::"i"(offsetof(vp::SharedSettings, field)))

namespace {

// asm at namespace scope takes no operands; a function that is never called carries them.
[[maybe_unused]] __attribute__((used)) void DefineSharedVariables() {
  VP_SHARED_VARIABLE(szPgpKey);
  VP_SHARED_VARIABLE(passphrase);
  VP_SHARED_VARIABLE(time_start);
  VP_SHARED_VARIABLE(cacheInterval);
  VP_SHARED_VARIABLE(bShowProcAttDialog);
  VP_SHARED_VARIABLE(bShowMailSignDialog);
  VP_SHARED_VARIABLE(bShowFileSignDialog);
  VP_SHARED_VARIABLE(bShowAttLaunchDialog);
  VP_SHARED_VARIABLE(bAutoOpenPgpMail);
  VP_SHARED_VARIABLE(bUseAgent);
  VP_SHARED_VARIABLE(defaultDirectory);
  VP_SHARED_VARIABLE(szVersion);
  VP_SHARED_VARIABLE(szGpgApp);
}

}  // namespace

namespace vp {

SharedSettings* AttachSharedSettings() {
  return &vp_passphr_block;
}

// The loader drops the section with the last process that unloads the DLL.
void DetachSharedSettings() {}

const char* SharedSettingsFailure() {
  return "";
}

SharedSettings* SharedSettingsView() {
  return &vp_passphr_block;
}

}  // namespace vp
