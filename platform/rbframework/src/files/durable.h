// Putting written bytes and names on the disk: the syncs behind atomic saves
// (files.cpp) and durable batches (durable_batch.cpp). Internal.
#pragma once

#include <string>

namespace rb::durable {

// The folder part of a path ("/" for a file at the root).
std::string folderOf(const std::string &path);
// Syncs the file at `path` (its bytes and attributes); false when that fails.
bool syncFile(const std::string &path);
// Gives the temporary file `temp` the name `target`, over a file of that
// name when `replace`, else never (false, errno EEXIST, when one is there).
bool putInPlace(const std::string &temp, const std::string &target, bool replace);
// Syncs the folder that holds `path`, so that the names in it are on the
// disk; true as well on a file system that cannot sync a folder.
bool syncFolderOf(const std::string &path);

}  // namespace rb::durable
