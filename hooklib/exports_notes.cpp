// The exported C surface of the Notes design services: the plug-in's mail template and the
// design replacement of a database. Neither needs InitOrlavex first.
#include "hooklib/export.h"
#include "hooklib/guarded.h"
#include "hooklib/notesdb/design_replace.h"
#include "hooklib/notesdb/mail_template.h"

extern "C" {

VP_EXPORT int VP_CALL CreateVeilpostTemplate(const char* subformDatabase,
                                             const char* standardTemplate,
                                             const char* newTemplate) {
  return vp::Guarded(-1, [&] {
    return vp::CreateVeilpostTemplateImpl(subformDatabase, standardTemplate, newTemplate);
  });
}

VP_EXPORT int VP_CALL ReplaceDatabaseDesign(const char* templatePath, const char* databasePath) {
  return vp::Guarded(-1, [&] { return vp::ReplaceDatabaseDesignImpl(templatePath, databasePath); });
}

}  // extern "C"
