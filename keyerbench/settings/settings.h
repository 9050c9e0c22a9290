// cwbench's settings record mxf and its state file.
//
// The record is the exact byte image of the state file: 1044 bytes, little-endian, no
// header. Both builds read and write it as raw bytes, so a file written by one loads
// byte for byte in the other.
#pragma once

#include "keyerlib/morsixdll.h"

#include <cstddef>
#include <cstdint>

namespace cwbench {

inline constexpr std::size_t kMsgBufSize = 256;

struct MXF {
    std::int32_t comPort;
    MXSTATE mxState;
    char msg1Buf[kMsgBufSize];
    char msg2Buf[kMsgBufSize];
    char msg3Buf[kMsgBufSize];
    char msg4Buf[kMsgBufSize];
    // Rounds the record to a multiple of four; never interpreted, written back as held.
    unsigned char padding;
};

inline constexpr std::size_t kStateFileSize = 1044;

static_assert(sizeof(MXSTATE) == 15);
static_assert(offsetof(MXSTATE, modereg) == 0);
static_assert(offsetof(MXSTATE, speed) == 1);
static_assert(offsetof(MXSTATE, stconst) == 2);
static_assert(offsetof(MXSTATE, weight) == 3);
static_assert(offsetof(MXSTATE, leadin) == 4);
static_assert(offsetof(MXSTATE, tail) == 5);
static_assert(offsetof(MXSTATE, minwpm) == 6);
static_assert(offsetof(MXSTATE, wpmrange) == 7);
static_assert(offsetof(MXSTATE, xtnd) == 8);
static_assert(offsetof(MXSTATE, kcomp) == 9);
static_assert(offsetof(MXSTATE, farns) == 10);
static_assert(offsetof(MXSTATE, sampadj) == 11);
static_assert(offsetof(MXSTATE, ditdahratio) == 12);
static_assert(offsetof(MXSTATE, pincfg) == 13);
static_assert(offsetof(MXSTATE, potrange) == 14);

static_assert(sizeof(MXF) == kStateFileSize);
static_assert(offsetof(MXF, comPort) == 0);
static_assert(offsetof(MXF, mxState) == 4);
static_assert(offsetof(MXF, msg1Buf) == 19);
static_assert(offsetof(MXF, msg2Buf) == 275);
static_assert(offsetof(MXF, msg3Buf) == 531);
static_assert(offsetof(MXF, msg4Buf) == 787);
static_assert(offsetof(MXF, padding) == 1043);

// Bits of MXSTATE::modereg.
enum : unsigned char {
    CT_SPACE = 0x01,
    ASPACE = 0x02,
    SER_ECHO = 0x04,
    PDL_SWAP = 0x08,
    KEYERMODE = 0x10,
    NIAMBIC = 0x20,
    PDL_ECHO = 0x40
};

// Bits of MXSTATE::pincfg.
enum : unsigned char {
    USEPTT = 0x01,
    USESTONE = 0x02,
    KEYPORT0 = 0x04,
    KEYPORT1 = 0x08,
    HANG0 = 0x10,
    HANG1 = 0x20
};

// MXSTATE::stconst: sidetone code from MIN_TONE up in bits 6..0, paddle sidetone in bit 7.
inline constexpr unsigned char MIN_TONE = 0;
inline constexpr unsigned char PDLSTONE = 0x80;

// The register block a fresh start writes, in block order.
inline constexpr unsigned char kDefaultRegisters[sizeof(MXSTATE)] = {
    0x02, 0x10, 0x05, 0x32, 0x00, 0x00, 0x05, 0x14, 0x00, 0x00, 0x12, 0x32, 0x32, 0x06, 0xFF};

// The one settings record; all zero until loadConfigFile fills it.
extern MXF mxf;

// Where the state file lives. Beside the program, named szConfigName, wherever the
// program's folder takes it (a portable folder: the Desktop, a USB stick). Where it
// doesn't (a standard user can't write under Program Files, and cwbench's manifest turns
// off the file virtualization that would have redirected the write), the settings are
// kept per user, in the file setUserConfigName names (%LOCALAPPDATA%\cwbench\cwbench.cfg,
// the same 1044 bytes); its first start there begins from the VirtualStore copy an earlier
// build saved through Windows' file virtualization, else from the file beside the program,
// whichever is there and readable first, so that an existing setup carries over. The first
// loadConfigFile after the names are set decides which, by trying to make a file beside
// the program as every save does.

// Path of the state file beside the program, in UTF-8: room for any program path cwbench
// accepts (kMaxPathUnits UTF-16 units, three bytes each at most) and its extension.
inline constexpr std::size_t kConfigNameSize = 4096;
extern char szConfigName[kConfigNameSize];

// Sets szConfigName to path. A path that doesn't fit (kConfigNameSize - 1 bytes at most)
// is refused rather than cut, which would name another file: szConfigName is then empty
// and the result false, and the settings live in memory only (loadConfigFile sets the
// defaults, saveState writes nothing). The place is decided anew at the next load.
bool setConfigName(const char* path);

// Sets the per-user state file's path; empty: there is no per-user place, and the state
// file stays beside the program whatever happens. virtualStoreCopy (may be empty) is
// where Windows' file virtualization kept the state file beside the program. The place
// is decided anew at the next load.
void setUserConfigName(const char* path, const char* virtualStoreCopy = "");

// The state file in use: szConfigName, or the per-user file once loadConfigFile has
// found that the program's folder can't take szConfigName.
const char* stateFileName();

// Deletes the state file in use ("ResetDefaults" does, then loads again; the file beside
// a program whose folder can't take it stays, and is not carried over again).
bool removeStateFile();

// Fills mxf from the state file. When the file is absent: sets the defaults and writes a
// new file. When it exists but can't be opened (locked, denied): sets the defaults in
// memory only. A short file fills the record's head and leaves its tail as it was.
// Returns 1, or 0 after "Read file failed.". A file that could not be opened or read is
// then kept as it is by every saveState until the user deletes it ("ResetDefaults"
// deletes it and loads again) or a later load reads it: it may hold the user's messages.
// (A file carried over to the per-user place is only read: whatever it held, the new
// per-user file is written.)
// The window argument is not used.
int loadConfigFile(void* hwnd = nullptr);

// Writes mxf to the state file. The old file is replaced only once the whole new image
// has been written beside it, so a failure never leaves a truncated or empty file; the
// replaced file keeps its attributes and permissions, and through a symbolic link the
// link's target is replaced. A replacement that fails (another program holding the new
// file for a moment) is tried again for about a second, and where Windows stopped
// halfway and took the old file away, the image is written in its place, so that a whole
// state file is there afterwards. A read-only file is not replaced (no message). Returns
// 1; 0 after "Save State Failed." when a write or the replacement fails, after
// kCannotSaveText when no state file can be made at all, and after kKeptUnreadText when
// the file is being kept as loadConfigFile found it (each of the last two shown once a
// run).
int saveState();

inline constexpr char kCannotSaveText[] =
    "cwbench can't save its settings: no state file can be written beside the program or in "
    "%LOCALAPPDATA%\\cwbench. Changes are kept until cwbench ends.";
inline constexpr char kKeptUnreadText[] =
    "cwbench couldn't read its state file, so it doesn't save over it: changes are kept until "
    "cwbench ends. ResetDefaults deletes the file and starts afresh.";

// Shows the register block as fifteen "%02x " fields in a box "Local State Registers".
// The window argument is not used.
int showState(void* hwnd = nullptr);

// The text showState shows.
void formatState(const MXSTATE& state, char (&text)[3 * sizeof(MXSTATE) + 1]);

}  // namespace cwbench
