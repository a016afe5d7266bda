// Frame files (TIFF through the graphics plug-in's exporter) and the grabber
// settings file.
#include "application/app.h"
#include "application/largeblocks.h"
#include "application/smallfile.h"
#include "binding/entrypoints.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "controlwindow/controlwindow.h"

#include <rb/entrypoints.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace tavrin {

std::string frameFileName(const std::string &prefix, int32_t index) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", int(index));
    return prefix + digits + ".tif";
}

const char *creatorCode(int32_t row) {
    switch (row) {
        case 0:
            return "8BIM";
        case 1:
            return "prvw";
        case 2:
            return "GKON";
        default:
            return nullptr;
    }
}

rb::String exportTIFF(REALobject picture) {
    if (!picture) return {};
    rb::ObjRef exporter = rb::make("QTGraphicsExporterPlyx");
    if (!exporter) return {};
    rb::call(ENTRY("QTGraphicsExporterPlyx.OpenExporter(type as string)"), exporter.get(), rb::String("TIFF"));
    rb::setProp(ENTRY("QTGraphicsExporterPlyx.InputPicture.Set"), exporter.get(), picture);
    rb::String data = rb::call(ENTRY("QTGraphicsExporterPlyx.ExportToString as string"), exporter.get());
    if (!data || data.get()->bytes.empty()) return {};
    return data;
}

std::string_view bytesOf(const rb::String &s) { return s ? std::string_view(s.get()->bytes) : std::string_view(); }

rb::BinaryStreamRef createFrameFile(const rb::FolderItem &file, int32_t creatorRow, rb::DurableBatch *batch) {
    // A temporary file that takes the name once it is on the disk, so no
    // partial or empty frame is ever seen, even after a crash. The codes go
    // on the temporary file and arrive with it.
    auto out = rb::BinaryStream::createAtomic(file, "TIFF", batch);
    if (!out) return nullptr;
    if (const char *creator = creatorCode(creatorRow)) out->setMacCreator(creator);
    out->setMacType("TIFF");
    return out;
}

bool finishFrameFile(rb::BinaryStream &out, std::string_view data) {
    out.writeBytes(data);
    if (out.writeError()) {
        out.discard();
        return false;
    }
    return out.close();
}

bool writeFrameFile(const rb::FolderItem &file, std::string_view data, int32_t creatorRow, rb::DurableBatch *batch) {
    auto out = createFrameFile(file, creatorRow, batch);
    return out && finishFrameFile(*out, data);
}

std::string folderProblem(const rb::FolderItem &folder, const std::string &prefix, int32_t lastIndex) {
    auto probe = folder.child(frameFileName(prefix, std::max(lastIndex, 0)));
    if (!probe) return "The name prefix cannot be used for file names.  Please choose another prefix.";
    errno = 0;
    auto out = rb::BinaryStream::createAtomic(*probe, "TIFF");
    int err = errno;
    if (out) {
        out->discard();
        return {};
    }
    if (err == ENAMETOOLONG) {
        // The longest prefix that fits: the folder's longest name less the
        // frame's number and ending and what the save's temporary name adds.
        long limit = ::pathconf(folder.absolutePath().c_str(), _PC_NAME_MAX);
        long room = (limit > 0 ? limit : 255) - long(rb::BinaryStream::temporaryNameExtra()) -
                    long(frameFileName("", std::max(lastIndex, 0)).size());
        return "The name prefix is too long: this folder takes prefixes of up to " +
               std::to_string(std::max(room, 0L)) + " bytes for these frames.  Please choose a shorter prefix.";
    }
    // A folder where the frame's file would go is named with the reason.
    std::string why = err ? std::strerror(err) : "it cannot be written";
    if (err == EISDIR) why = probe->name() + ": " + why;
    return "The images cannot be saved in the folder \"" + folder.absolutePath() + "\" (" + why +
           ").  Please choose another folder.";
}

void removeStaleTemporaries(const rb::FolderItem &folder) {
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder.absolutePath(), ec)) {
        std::string name = entry.path().filename().string();
        if (!rb::BinaryStream::isTemporaryName(name, ".tif")) continue;
        if (entry.is_regular_file(ec)) std::filesystem::remove(entry.path(), ec);
    }
}

void CaptureWindow::savefiles(int32_t index) { saveFrame(index); }

namespace {

// One frame of a run as its numbered file in `folder`; when it cannot be
// written, the system's reason in `*error` (when given and still 0).
bool saveStill(const StillFrame &still, const rb::FolderItem &folder, int32_t index, rb::DurableBatch *batch,
               int *error = nullptr) {
    auto failed = [error](int err) {
        if (error && !*error) *error = err;
        return false;
    };
    LargeBlocksReused reuse;  // the encoded bytes and their host string: warm memory from the last save
    controlwindow *palette = static_cast<controlwindow *>(rb::findWindow("controlwindow"));
    if (!palette) return false;
    // The folder item maps a '/' in the prefix to ':', so the file stays in
    // the chosen folder and the frame is kept.
    auto file = folder.child(frameFileName(palette->nameprefix->text(), index));
    if (!file) return false;
    // The file comes before the frame's bytes: what it keeps until the
    // pass's commit (its names) then lies below the frame-sized blocks of
    // the export, which go back whole for the next frame instead of the
    // heap growing by a frame now and then.
    errno = 0;
    auto out = createFrameFile(*file, palette->filecreator->listIndex(), batch);
    if (!out) return failed(errno);
    // The frame's own 24-bit rows go to the exporter as a picture.
    rb::ObjRef pic = still.picture();
    rb::String data = exportTIFF(pic.get());
    if (!data) {
        out->discard();
        return false;
    }
    errno = 0;
    return finishFrameFile(*out, bytesOf(data)) || failed(errno);
}

}  // namespace

bool CaptureWindow::saveFrame(int32_t index, rb::DurableBatch *batch) {
    const StillFrame *still = frame(index);
    if (!still) return true;  // never grabbed: skipped
    controlwindow *palette = static_cast<controlwindow *>(rb::findWindow("controlwindow"));
    if (!palette || !palette->savefolder) return false;
    return saveStill(*still, *palette->savefolder, index, batch);
}

void CaptureWindow::saveUnsavedInto(const rb::FolderItem &folder, int32_t &written, int32_t &failed, int *error) {
    written = failed = 0;
    if (error) *error = 0;
    for (size_t i = 0; i < unsaved.size(); ++i) {
        if (!unsaved[i]) continue;
        // Each file on the disk before the next, and none over a file that
        // is there already: the folder is this quit's own.
        rb::DurableBatch one(rb::DurableBatch::Existing::Keep);
        bool joined = saveStill(*unsaved[i], folder, int32_t(i), &one, error);
        errno = 0;
        bool saved = joined && one.size() == 1 && one.commit()[0];
        if (joined && !saved && error && !*error) *error = errno;
        if (saved) {
            ++written;
            unsaved[i].reset();
        } else {
            ++failed;
        }
    }
    if (failed == 0) unsaved.clear();
}

void CaptureWindow::savesinglefile(int32_t index) { saveSingle(frame(index)); }

bool CaptureWindow::saveSingle(const StillFrame *still, int *error) {
    if (error) *error = 0;
    if (!still || !savepicture) return false;
    LargeBlocksReused reuse;
    rb::ObjRef pic = still->picture();
    rb::String data = exportTIFF(pic.get());
    if (!data) return false;
    errno = 0;
    bool written = writeFrameFile(*savepicture, bytesOf(data), app().filecreator);
    if (!written && error) *error = errno;
    return written;
}

void CaptureWindow::writecapturesettings() {
    if (!qGrab) return;
    auto file = rb::preferencesFolder()->child(kCaptureSettingsFileName);
    rb::String text = rb::getProp(ENTRY("QTGrabberPlyx.Settings.Get"), qGrab.get());
    auto out = rb::BinaryStream::createAtomic(*file, "application/text");
    if (!out) return;
    out->writeBytes(text.str());
    out->close();
}

void CaptureWindow::readcapturesettings() {
    if (!qGrab) return;
    // The settings are a few hundred bytes; a file far larger is garbage
    // and the grabber keeps its defaults.
    constexpr size_t kMaxSettingsBytes = 64 * 1024;
    auto file = rb::preferencesFolder()->child(kCaptureSettingsFileName);
    std::optional<std::string> bytes = readSmallFile(file->absolutePath(), kMaxSettingsBytes);
    if (!bytes) return;
    std::string text = std::move(*bytes);
    if (!text.empty()) rb::setProp(ENTRY("QTGrabberPlyx.Settings.Set"), qGrab.get(), rb::String(text));
}

}  // namespace tavrin
