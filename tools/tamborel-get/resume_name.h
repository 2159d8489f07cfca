// The temporary file of a download, named so that a rerun for the same
// address finds it again and a download of another address never does.
#pragma once

#include <string>

// "{N_fileName}.TMP!" with N, in decimal, drawn from the address: two
// addresses whose files get the same name still get different temporary
// files, so one never continues what the other began.
std::string TempFileFor(const std::string& url, const std::string& fileName);
