// Making the plug-in's mail template: a renamed copy of a standard mail template that holds the
// subform "Veilpost Plugin" at the top of the bodies of its memo and reply forms.
#pragma once

namespace vp {

// Copies `standardTemplate` to `newTemplate` (which must not exist), renames its title to
// "PGP <title>" and its template name to "PGP" + the name from its fourth character, copies the
// subform from `subformDatabase` and inserts it into "Memo", "Reply" and "Reply With History".
// 0 when complete; -1 after a message naming the failed step. A failure leaves the new template
// as far as it got.
int CreateVeilpostTemplateImpl(const char* subformDatabase, const char* standardTemplate,
                               const char* newTemplate);

}  // namespace vp
