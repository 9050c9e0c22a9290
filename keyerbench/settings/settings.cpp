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

void setDefaults() {
    mxf.comPort = 1;
    std::memcpy(&mxf.mxState, kDefaultRegisters, sizeof kDefaultRegisters);
    mxf.msg1Buf[0] = 0;
    mxf.msg2Buf[0] = 0;
    mxf.msg3Buf[0] = 0;
    mxf.msg4Buf[0] = 0;
}

void errorBox(const char* text) { platform().messageBox(text, "Error", kMbIconExclamation); }

}  // namespace

bool setConfigName(const char* path) {
    const std::size_t length = path ? std::strlen(path) : 0;
    if (length >= sizeof szConfigName) {
        szConfigName[0] = 0;
        return false;
    }
    std::memcpy(szConfigName, path ? path : "", length);
    szConfigName[length] = 0;
    return true;
}

int loadConfigFile(void*) {
    // No name (the program's path was too long to hold one): the settings live in memory.
    if (szConfigName[0] == 0) {
        setDefaults();
        return 1;
    }
    OpenError why = OpenError::None;
    std::unique_ptr<File> f = platform().openForRead(szConfigName, why);
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
    std::memcpy(&mxf, image, total);
    g_keepUnreadFile = !ok;
    if (!ok) {
        errorBox("Read file failed.");
        return 0;
    }
    return 1;
}

int saveState() {
    // A file that could not be read is left as it is, as one that can't be created; with
    // no name there is no file to write.
    if (g_keepUnreadFile || szConfigName[0] == 0) return 1;
    // The image goes to a new file that then replaces the old one, keeping its
    // attributes and permissions, so that a failed write never leaves a damaged state
    // file. Through a symbolic link the link stays and its target is replaced: the new
    // file is made beside the target, on the same file system. Where no new file can be
    // made there (a folder that only lets the state file itself be written), the file
    // is written in place.
    Platform& p = platform();
    const std::string target = p.finalPath(szConfigName);
    const std::string temp = target + ".new";
    std::unique_ptr<File> f = p.createForWrite(temp.c_str());
    const bool inPlace = !f;
    if (inPlace) f = p.createForWrite(szConfigName);
    if (!f) return 1;
    std::uint32_t written = 0;
    const bool ok = f->write(&mxf, static_cast<std::uint32_t>(kStateFileSize), written);
    f.reset();
    if (!ok || written != kStateFileSize) {
        if (!inPlace) p.remove(temp.c_str());
        errorBox("Save State Failed.");
        return 0;
    }
    if (!inPlace && !p.replace(temp.c_str(), target.c_str())) {
        // The old file is read-only, locked or in the way: it stays, as when it can't be
        // created. Only where a replacement failed halfway and took the old file with it
        // does the new image stay under its own name, as all there is.
        OpenError why = OpenError::None;
        p.openForRead(target.c_str(), why);
        if (why != OpenError::NotFound) p.remove(temp.c_str());
    }
    return 1;
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
