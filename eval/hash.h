// Hash tables: association lists headed by the symbol #hash-table.
#pragma once

#include "core/interp.h"

namespace vex {

// True (no message) when table is a list (#hash-table x . entries) whose
// cdr is a list; otherwise shows "ハッシュテーブルではありません".
bool CheckTable(Interp& in, Ref table);
// Stores value under key in a checked table: the value, or ERROR_VALUE.
Ref StoreEntry(Interp& in, Ref table, Ref key, Ref value);

}  // namespace vex
