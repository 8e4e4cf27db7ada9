// Subject-name filters: the split of a name text into its components and the two rules that
// match the components of a filter against those of a certificate's subject.
//
// Texts are narrow ANSI text of the process's code page. Every search and replacement here steps
// over double-byte characters whole, so the trail byte of a Big5 character (which may be '\\',
// 'S', 'N' or a letter) never takes part in a match.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyq {

using NameComponents = std::vector<std::string>;

// Splits "C=TW, O=Bank, Inc., CN=Wang" into C=TW / O=Bank, Inc. / CN=Wang:
//   - the two characters backslash and 'n' and every LF count as ",", every CR is dropped;
//   - pieces between commas that hold '=' start a component, pieces without '=' are joined back
//     to the current one with their comma (so values holding commas survive);
//   - each component is trimmed of white space at both ends, and " =" then "= " become "=";
//     empty components are dropped.
void SplitNameComponents(std::string_view text, NameComponents* out);

// Containment rule (the filter drives): every filter component of type C=, O=, OU=, CN= needs a
// certificate component that holds the type text and holds the value at a position > 0 (its
// first occurrence); an SN= component needs a certificate component that holds "SN=" and the
// value in upper case at a position > 0. Components of other types are passed over. True only
// when at least one filter component had one of these types and every such one was found.
bool MatchNamesContaining(const NameComponents& filter, const NameComponents& certificate);

// Exact rule (the certificate drives): every C=, O=, OU=, CN= component of the certificate must
// stand byte for byte in the filter (which may hold more, in any order); an SN= component of the
// certificate (the serial number that the search appends) needs a filter SN= component whose
// upper-case value it holds at a position > 0. Other types are passed over. True only when at
// least one certificate component had one of these types and every such one was found.
bool MatchNamesExact(const NameComponents& filter, const NameComponents& certificate);

// The position of the first occurrence of needle in text that begins on a character boundary of
// the ANSI code page, or npos. An empty needle is found at 0.
size_t AnsiFind(std::string_view text, std::string_view needle);

}  // namespace zyq
