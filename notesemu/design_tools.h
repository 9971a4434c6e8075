// Tools that make the design databases the plug-in's installation works on: a standard mail
// template with real rich-text form bodies, and a database holding the plug-in's subform.
//
// Paths are ordinary file paths. Each function returns "" on success or a one-line message; the
// database is written completely or not at all, and an existing path is refused.
#pragma once
#include <string>

namespace notesemu {

// Title and template name of the standard mail template the tool makes.
constexpr const char* kMailTemplateTitle = "Mail (R9)";
constexpr const char* kMailTemplateName = "StdR9Mail";
// The subform that carries the plug-in's script, and the item holding that script.
constexpr const char* kPluginSubformName = "Veilpost Plugin";
constexpr const char* kFormScriptItem = "$$FormScript";

// A mail template: the icon note, the forms "Memo" (its body split into two "$Body" items),
// "Reply" and "Reply With History" whose bodies begin with a paragraph, a style definition and a
// reference to style 1 (Reply's after a first paragraph in style 2), a view, a shared field and
// a profile document.
std::string CreateMailTemplate(const std::string& path);

// A database holding the subform "Veilpost Plugin" with `script` (LotusScript) in its form
// script item and a one-line rich-text body.
std::string CreateSubformDatabase(const std::string& path, const std::string& script);

}  // namespace notesemu
