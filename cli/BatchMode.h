// zyqsec --batch: one engine driven over a pipe, one JSON array per line in, one JSON object
// per line out.
#pragma once

#include <istream>
#include <ostream>

namespace zyq::cli {

// Reads requests until end of input; returns the process exit status.
int RunBatch(std::istream& in, std::ostream& out);

}  // namespace zyq::cli
