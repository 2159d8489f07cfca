// Finding the temporary file an interrupted run of the same download left.
#pragma once

#include <string>

// The name of the newest "{N_fileName}.TMP!" in `folder` (N decimal digits),
// or "" when there is none. The numbers are random per run, so the file name
// is what ties a rerun to its temporary file.
std::string FindTempFileOf(const std::string& folder, const std::string& fileName);
