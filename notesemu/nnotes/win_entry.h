// The stand-in's nnotes.dll for Windows: the Notes C API entries the Win32 Notes port
// (platform/win32/notes_nnotes.cpp) binds by name, each forwarding to one embedded store of the
// process (notesemu::NotesStore), which reads the same store files as on Linux.
//
// Signatures and layouts are the port's: 32-bit handles, 16-bit statuses and lengths, BOOL as
// int, and every entry and callback stdcall on 32-bit Windows (the Notes API's convention). The
// export names are plain (nnotes.def), as in the Notes client's own library. Nothing is thrown
// across an entry.
#pragma once
#include <cstdint>
#include <mutex>

#include "notesemu/notes_store.h"
#include "notesemu/status_codes.h"

#if defined(__i386__)
#define NNOTES_CALL __stdcall
#else
#define NNOTES_CALL
#endif

namespace nnotes {

using Status = uint16_t;
using Word = uint16_t;
using Dword = uint32_t;
using Bool = int;

// The Notes API's block id as the port declares it: a pool handle and a 16-bit offset in it,
// passed by value.
struct BlockId {
  Dword pool;
  Word block;
};

// The process's store, and the one lock every entry holds while it works in it.
notesemu::NotesStore& Store();
std::recursive_mutex& StoreLock();

// Runs `body` with the store to itself (search callbacks call back in, so the lock nests);
// `onFailure` when memory or the lock gives out.
template <typename Result, typename Body>
Result Serialized(Result onFailure, Body&& body) {
  try {
    std::lock_guard<std::recursive_mutex> held(StoreLock());
    return body();
  } catch (...) {
    return onFailure;
  }
}

// --- Value pools ------------------------------------------------------------------------------
// The store names an item's value by a 32-bit block that no 16-bit offset can carry. Each value
// the port asks about gets a pool of its own instead: a handle locking to a copy of the value,
// which sits at offset kValueOffset, kept until its note closes.
constexpr Word kValueOffset = 8;

// The pool of the store's value block `value` (of open note `note`, `length` bytes); a pool
// handle of 0 when it cannot be made.
BlockId PoolForValue(vp::NoteHandle note, vp::BlockId value, uint32_t length);
// The store's value block behind a pool; false when `block` is not one.
bool ValueOfPool(BlockId block, vp::BlockId* value);
// The base address of a pool, or null when `handle` is no pool.
void* LockPool(Dword handle);
// Forgets the pools of a note that closes.
void DropPools(vp::NoteHandle note);

// Item blocks pass through as they are: the store's item blocks are small serial numbers.
bool ToNotes(vp::BlockId item, BlockId* block);
inline vp::BlockId FromNotes(BlockId block) {
  return vp::BlockId{block.pool, block.block};
}

}  // namespace nnotes
