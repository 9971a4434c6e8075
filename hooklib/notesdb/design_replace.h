// Giving a database the design of a template: inheritance set to the template's template name,
// then the design refreshed at once through the Notes API library's DesignRefresh.
#pragma once

namespace vp {

// 0 when the database at `databasePath` inherits from the template at `templatePath` and its
// design was refreshed; -1 after a message. The inheritance change stays when a later step fails.
int ReplaceDatabaseDesignImpl(const char* templatePath, const char* databasePath);

}  // namespace vp
