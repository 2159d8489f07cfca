// File names for new downloads, derived from their addresses.
#pragma once

#include <string>

class DataModel;

// True when the path exists on disk or is, ignoring case, the final path
// (SaveDir + FileName) of any task in the model.
bool IsPathTaken(const std::string& path, const DataModel& model);

// A file name (no folder part) for downloading `address` into `folder`, which
// ends in the path separator; `hint` is an extension pattern such as "*.flv".
// The name is numbered "name[1].ext", "name[2].ext", ... until it is not taken
// in `folder`. Empty for an empty address.
std::string MakeSaveName(const std::string& address, const std::string& folder, const std::string& hint,
                         const DataModel& model);
