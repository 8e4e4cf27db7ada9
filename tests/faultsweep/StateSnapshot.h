// The whole persistent state an operation can change, as one comparable map: the rows of the
// state database (registry keys and values of every hive, certificate store entries with their
// properties, key providers, key containers and their key pairs) and the files and folders below
// the folders an operation works in.
//
// Entries are named so that two runs of one operation from one starting state give the same
// names: registry entries by their path, store entries and containers by their place in their
// store or provider. Values that differ between two successful runs (new keys, UUID container
// names, salts of new PKCS#12 files) are masked by Volatile before comparing with a success.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace zyq::test {

using StateSnapshot = std::map<std::string, std::string>;

// Reads the state database of stateFolder (state.db; the process's connection must be closed)
// and the trees of the given folders (named relative to root).
StateSnapshot TakeSnapshot(const std::string& stateFolder, const std::string& root,
                           const std::vector<std::string>& folders);

// The names whose values differ between two snapshots of the same outcome.
std::set<std::string> Volatile(const StateSnapshot& a, const StateSnapshot& b);

// Whether `actual` equals `expected` in its names and in every value not named in `masked`.
bool SameOutcome(const StateSnapshot& actual, const StateSnapshot& expected,
                 const std::set<std::string>& masked);

// The differences, one line each, for a failure message (at most `limit` lines).
std::string Differences(const StateSnapshot& actual, const StateSnapshot& expected,
                        size_t limit = 12);

}  // namespace zyq::test
