#pragma once
// Sorting rows by byte-string keys (collation keys) in the order std::string's < gives, ties
// in row order. Paths share long beginnings, which a comparison sort reads again in every
// comparison; this sort reads each key eight bytes at a time, a level per eight bytes, and
// passes over a level that all keys of a group share in one linear step.

#include <string_view>
#include <vector>

namespace vintrel {

// Reorders `rows` (indexes into `keys`) by their keys, ascending or descending; rows with
// equal keys keep the order of their indexes.
void SortRowsByByteKeys(std::vector<int>& rows, const std::vector<std::string_view>& keys,
                        bool ascending);

} // namespace vintrel
