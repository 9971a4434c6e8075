// GnuPG's colon key listing paired into the key id and user id lists, and matched to names.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "hooklib/gnupg/key_listing.h"
#include "hooklib/gnupg/key_match.h"
#include "hooklib/gnupg/string_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool secret : {false, true}) {
    std::string listing(reinterpret_cast<const char*>(data), size);
    vp::PairKeyListing(listing.data(), secret);
    const vp::StringList& ids = vp::KeyIdList();
    FUZZ_CHECK(ids.count == vp::UserIdList().count);
    for (int i = 0; i < ids.count; ++i) {
      FUZZ_CHECK(std::strlen(ids.items[i]) == 8);  // the short id of a 16-digit key id
      FUZZ_CHECK(vp::KeyReference(i)[0] != '\0');
    }
    vp::FreeKeyLists();
    // Whatever the listing, the match offers only keys and user ids that exist.
    const std::vector<vp::ListedKey> keys = vp::ParseKeyListing(listing, secret);
    for (const char* name : {"bob@example.com", "Bob", "<x@y>"}) {
      const vp::KeyMatch match = vp::MatchKeys(name, keys);
      FUZZ_CHECK((match.outcome == vp::MatchOutcome::kNone) == match.offers.empty());
      for (const vp::KeyOffer& offer : match.offers) {
        FUZZ_CHECK(offer.key < keys.size() && offer.userId < keys[offer.key].userIds.size());
      }
    }
  }
  return 0;
}
