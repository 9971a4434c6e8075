// Sending a memo: options, recipients and their keys, then the body, the own public key and the
// attachments, each through GnuPG into the files the mail client's script picks up.
//
// Output files: mailbody.pgp and pubkey.asc in the temporary directory, and "<attachment>.pgp"
// beside each attachment. Files written before a failure stay; every plain attachment that was
// processed is wiped, whether or not its encryption succeeded.
#pragma once

namespace vp {

// The result: the public-key choice minus 1000 (0 none, 1 as text, 2 as attachment), plus 16
// when the attachments were encrypted; -1 when cancelled or failed (the user has seen why).
// `attachments` (paths separated by ",") is split in place. The Notes window is disabled for the
// duration and enabled again on every path.
int DoEncryptImpl(const char* server, const char* sender, const char* recipients, const char* body,
                  char* attachments);

// The longest attachment path that still takes ".pgp" in a 256-byte name.
constexpr int kMaxAttachmentPath = 251;

}  // namespace vp
