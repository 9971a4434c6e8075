// The "List of possible names" dialog: the user picks one key of the listed ones.
#pragma once

namespace vp {

// The role word (string 170 "sender" or 171 "recipient") the caller sets before ChooseKey.
void SetKeyRole(const char* roleWord);

// Shows dialog 107 over the key id and user id lists for the looked-up `name`. 0 when a key was
// chosen, -1 when the user cancelled.
int ChooseKey(const char* name);

// The short key id chosen last ("" after Cancel or ClearChosenKey), and how the chosen key is
// named on a command line (its fingerprint where the listing gave one).
const char* ChosenKey();
const char* ChosenKeyReference();
void ClearChosenKey();

}  // namespace vp
