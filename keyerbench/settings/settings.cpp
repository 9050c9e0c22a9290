#include "settings/settings.h"

#include "platform/platform.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

// The state file is the record's memory image; that only matches the file's byte order
// on a little-endian machine.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the state file is little-endian");

namespace cwbench {

MXF mxf;
char szConfigName[kConfigNameSize];

namespace {

// Set while the state file loadConfigFile last met could not be read: it was there but
// couldn't be opened (locked, denied, a directory in its place), or reading it failed.
// Its contents are unknown, or only partly in mxf, so saveState leaves it alone until
// the user deletes it ("ResetDefaults" does, then loads again) or a later load reads it.
std::atomic<bool> g_keepUnreadFile{false};

// Where the state file lives (settings.h); decided by the first load after the names
// are set. Only the window thread loads and saves.
enum class Place { Undecided, BesideProgram, PerUser };
Place g_place = Place::Undecided;
std::string g_userConfigName;
std::string g_virtualStoreName;
// Set once the user has been told that saves don't happen (no state file can be made,
// or the one there couldn't be read), so that each later save of the run doesn't say it
// again.
bool g_toldCannotSave = false;

// Waits between tries at replacing the state file, about a second in all: time for a
// virus scanner, the indexer or a sync client to let go of the new file.
constexpr unsigned kRetryWaitsMs[] = {50, 100, 200, 300, 400};

void setDefaults() {
    mxf.comPort = 1;
    std::memcpy(&mxf.mxState, kDefaultRegisters, sizeof kDefaultRegisters);
    mxf.msg1Buf[0] = 0;
    mxf.msg2Buf[0] = 0;
    mxf.msg3Buf[0] = 0;
    mxf.msg4Buf[0] = 0;
}

void errorBox(const char* text) { platform().messageBox(text, "Error", kMbIconExclamation); }

// A new name: nothing has been met under it yet.
void forgetPlace() {
    g_place = Place::Undecided;
    g_toldCannotSave = false;
    g_keepUnreadFile = false;
}

// Whether the program's folder takes the state file: a new file can be made beside it,
// as every save does first, or the state file itself can be written (a folder that lets
// only that file be written).
bool besideProgramTakesTheFile(Platform& p) {
    const std::string probe = p.finalPath(szConfigName) + ".new";
    if (p.createForWrite(probe.c_str())) {  // closed again at the end of the condition
        p.remove(probe.c_str());
        return true;
    }
    return p.canWrite(szConfigName);
}

std::string folderOf(const std::string& path) {
    const std::size_t end = path.find_last_of("\\/");
    return end == std::string::npos ? std::string() : path.substr(0, end);
}

enum class Written { Whole, NotCreated, Failed };

// The record's image as the new file path.
Written writeImage(Platform& p, const char* path) {
    std::unique_ptr<File> f = p.createForWrite(path);
    if (!f) return Written::NotCreated;
    std::uint32_t written = 0;
    const bool ok = f->write(&mxf, static_cast<std::uint32_t>(kStateFileSize), written);
    return ok && written == kStateFileSize ? Written::Whole : Written::Failed;
}

int cannotSave(const char* why) {
    if (!g_toldCannotSave) {
        g_toldCannotSave = true;
        errorBox(why);
    }
    return 0;
}

// The new image, written whole as temp, takes the place of target.
int replaceStateFile(Platform& p, const std::string& temp, const std::string& target) {
    ReplaceResult result = p.replace(temp.c_str(), target.c_str());
    for (unsigned wait : kRetryWaitsMs) {
        if (result != ReplaceResult::Failed) break;
        p.sleep(wait);
        result = p.replace(temp.c_str(), target.c_str());
    }
    if (result == ReplaceResult::Replaced) return 1;
    if (!p.isFile(target.c_str())) {
        // Windows stopped halfway and took the old file away: the image goes in its
        // place directly, so that a state file is there whatever happened; failing
        // that, the new file stays under its own name, as all there is.
        if (writeImage(p, target.c_str()) == Written::Whole) {
            p.remove(temp.c_str());
            return 1;
        }
        errorBox("Save State Failed.");
        return 0;
    }
    p.remove(temp.c_str());
    // A read-only file is the user's choice and stays as it is, without a word.
    if (result == ReplaceResult::ReadOnly) return 1;
    errorBox("Save State Failed.");
    return 0;
}

}  // namespace

bool setConfigName(const char* path) {
    forgetPlace();
    const std::size_t length = path ? std::strlen(path) : 0;
    if (length >= sizeof szConfigName) {
        szConfigName[0] = 0;
        return false;
    }
    std::memcpy(szConfigName, path ? path : "", length);
    szConfigName[length] = 0;
    return true;
}

void setUserConfigName(const char* path, const char* virtualStoreCopy) {
    forgetPlace();
    g_userConfigName = path ? path : "";
    g_virtualStoreName = virtualStoreCopy ? virtualStoreCopy : "";
}

const char* stateFileName() { return g_place == Place::PerUser ? g_userConfigName.c_str() : szConfigName; }

bool removeStateFile() { return platform().remove(stateFileName()); }

int loadConfigFile(void*) {
    // No name (the program's path was too long to hold one): the settings live in memory.
    if (szConfigName[0] == 0) {
        setDefaults();
        return 1;
    }
    Platform& p = platform();
    const bool deciding = g_place == Place::Undecided;
    if (deciding)
        g_place = g_userConfigName.empty() || besideProgramTakesTheFile(p) ? Place::BesideProgram : Place::PerUser;
    OpenError why = OpenError::None;
    std::unique_ptr<File> f = p.openForRead(stateFileName(), why);
    // The first start whose settings are kept per user: what the user saved last carries
    // over. Whatever that is, the new per-user file is written.
    const bool carryOver = deciding && g_place == Place::PerUser && !f && why == OpenError::NotFound;
    for (const std::string& from : {g_virtualStoreName, std::string(szConfigName)}) {
        if (!carryOver || f || from.empty()) continue;
        OpenError ignored = OpenError::None;
        f = p.openForRead(from.c_str(), ignored);
    }
    if (!f) {
        setDefaults();
        // Only an absent file is written; one that is there but can't be read keeps its
        // contents, now and at every later save, until the user deletes it.
        g_keepUnreadFile = why != OpenError::NotFound;
        if (!g_keepUnreadFile) saveState();
        return 1;
    }
    // Read into a scratch image so that a short read leaves the record's tail as it was.
    unsigned char image[kStateFileSize];
    std::uint32_t total = 0;
    bool ok = true;
    while (total < kStateFileSize) {
        std::uint32_t got = 0;
        ok = f->read(image + total, static_cast<std::uint32_t>(kStateFileSize - total), got);
        total += got;
        if (!ok || got == 0) break;
    }
    f.reset();
    std::memcpy(&mxf, image, total);
    g_keepUnreadFile = !ok && !carryOver;
    // From now on the per-user file is the one.
    if (carryOver) saveState();
    if (!ok) {
        errorBox("Read file failed.");
        return 0;
    }
    return 1;
}

int saveState() {
    // A file that could not be read is left as it is, as one that can't be created; with
    // no name there is no file to write.
    if (szConfigName[0] == 0) return 1;
    if (g_keepUnreadFile) return cannotSave(kKeptUnreadText);
    // The image goes to a new file that then replaces the old one, keeping its
    // attributes and permissions, so that a failed write never leaves a damaged state
    // file. Through a symbolic link the link stays and its target is replaced: the new
    // file is made beside the target, on the same file system. Where no new file can be
    // made there (a folder that only lets the state file itself be written), the file
    // is written in place.
    Platform& p = platform();
    const char* name = stateFileName();
    if (const std::string folder = folderOf(name); g_place == Place::PerUser && !folder.empty())
        p.createFolder(folder.c_str());
    const std::string target = p.finalPath(name);
    const std::string temp = target + ".new";
    Written written = writeImage(p, temp.c_str());
    const bool inPlace = written == Written::NotCreated;
    if (inPlace) written = writeImage(p, name);
    if (written == Written::NotCreated) return cannotSave(kCannotSaveText);
    if (written == Written::Failed) {
        if (!inPlace) p.remove(temp.c_str());
        errorBox("Save State Failed.");
        return 0;
    }
    return inPlace ? 1 : replaceStateFile(p, temp, target);
}

void formatState(const MXSTATE& state, char (&text)[3 * sizeof(MXSTATE) + 1]) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&state);
    for (std::size_t i = 0; i < sizeof(MXSTATE); ++i)
        std::snprintf(text + 3 * i, sizeof text - 3 * i, "%02x ", bytes[i]);
}

int showState(void*) {
    char text[3 * sizeof(MXSTATE) + 1];
    formatState(mxf.mxState, text);
    platform().messageBox(text, "Local State Registers", kMbIconExclamation);
    return 1;
}

}  // namespace cwbench
