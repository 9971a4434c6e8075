// The attachment dialog: detach, view and look for keys in the files the mail script detached.
#pragma once

namespace vp {

// Shows the attachment dialog for `attachments` (file paths separated by commas, each file lying
// in the temporary folder under its file name part), then removes the view copies, the working
// folder and the detached files. -1 before initialisation, else 0.
int DoDecryptAttachmentsImpl(const char* name, const char* attachments);

// Wipes the view copy of each attachment in `attachments`, asking Retry or Cancel while one is
// held by another program, and removes the working folder when it is then empty.
void RemoveViewCopies(const char* attachments);

}  // namespace vp
