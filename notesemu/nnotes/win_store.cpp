// The process's store behind nnotes.dll, and the pools through which the port reads values.
#include <cstring>
#include <map>
#include <vector>

#include "notesemu/nnotes/win_entry.h"

namespace nnotes {
namespace {

// Pool handles lie far above the store's own handles (one counter from 1), so OSLockObject
// tells a pool from a memory handle.
constexpr Dword kFirstPool = 0x40000000;

struct Pool {
  vp::NoteHandle note = 0;
  vp::BlockId value;
  std::vector<uint8_t> bytes;  // kValueOffset zero bytes, then the value
};

std::map<Dword, Pool>& Pools() {
  static auto* pools = new std::map<Dword, Pool>;
  return *pools;
}

Dword g_nextPool = kFirstPool;

}  // namespace

// Never destroyed: the library may be unloaded while the process ends, under the loader's lock.
notesemu::NotesStore& Store() {
  static auto* store = new notesemu::NotesStore;
  return *store;
}

std::recursive_mutex& StoreLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

BlockId PoolForValue(vp::NoteHandle note, vp::BlockId value, uint32_t length) {
  for (const auto& [handle, pool] : Pools()) {
    if (pool.note == note && pool.value.block == value.block &&
        pool.bytes.size() == kValueOffset + length)
      return BlockId{handle, kValueOffset};
  }
  const uint8_t* data = nullptr;
  if (Store().LockBlock(value, &data) || !data || g_nextPool == 0) return BlockId{0, 0};
  Pool pool{note, value, std::vector<uint8_t>(kValueOffset + length)};
  std::memcpy(pool.bytes.data() + kValueOffset, data, length);
  Dword handle = g_nextPool++;
  Pools()[handle] = std::move(pool);
  return BlockId{handle, kValueOffset};
}

bool ValueOfPool(BlockId block, vp::BlockId* value) {
  auto it = Pools().find(block.pool);
  if (it == Pools().end() || block.block != kValueOffset) return false;
  *value = it->second.value;
  return true;
}

void* LockPool(Dword handle) {
  auto it = Pools().find(handle);
  return it == Pools().end() ? nullptr : it->second.bytes.data();
}

void DropPools(vp::NoteHandle note) {
  for (auto it = Pools().begin(); it != Pools().end();) {
    it = it->second.note == note ? Pools().erase(it) : std::next(it);
  }
}

bool ToNotes(vp::BlockId item, BlockId* block) {
  if (item.block > 0xFFFF) return false;
  *block = BlockId{item.pool, static_cast<Word>(item.block)};
  return true;
}

}  // namespace nnotes
