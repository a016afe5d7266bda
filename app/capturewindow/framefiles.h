// The frame files: their names, the TIFF bytes of a picture, writing one
// with its type and creator, and clearing what an interrupted save left.
// Shared with the capture thread and the tests.
#pragma once

#include <rb/files.h>
#include <rb/plugin.h>
#include <rb/string.h>

#include <string>
#include <string_view>

namespace tavrin {

// prefix + the index formatted "000" + ".tif" (tape1 and 7: tape1007.tif).
std::string frameFileName(const std::string &prefix, int32_t index);
// The creator code of an "Open with:" row, nullptr for none.
const char *creatorCode(int32_t row);
// A picture as TIFF bytes through the graphics plug-in's exporter: the
// exporter's own string, not a copy; none when the exporter is missing,
// fails or gives no bytes.
rb::String exportTIFF(REALobject picture);
// The bytes of a host string, valid while it is held.
std::string_view bytesOf(const rb::String &s);
// Writes the data as a whole file (or nothing) with the creator and type
// "TIFF", and returns once it is on the disk under its name. With a batch,
// the file only joins it: the batch's commit() puts it in place.
bool writeFrameFile(const rb::FolderItem &file, std::string_view data, int32_t creatorRow,
                    rb::DurableBatch *batch = nullptr);
// The same in two steps: the file made (its temporary file, creator and
// type; nullptr when it cannot be), then its bytes written and the stream
// closed (false, and nothing left behind, when that fails).
rb::BinaryStreamRef createFrameFile(const rb::FolderItem &file, int32_t creatorRow, rb::DurableBatch *batch);
bool finishFrameFile(rb::BinaryStream &out, std::string_view data);
// Why the frames of a run, prefix + index for the indexes up to `lastIndex`,
// cannot be saved in `folder`; empty when they can. The longest name the
// save will make there (that of the temporary file of the highest index)
// is made and removed again: that tells both whether the folder can be
// written and whether the names fit its file system.
std::string folderProblem(const rb::FolderItem &folder, const std::string &prefix, int32_t lastIndex);
// Deletes the hidden temporary files that a save of a frame file left
// behind in `folder` when the program was killed mid-write.
void removeStaleTemporaries(const rb::FolderItem &folder);

}  // namespace tavrin
