// initState: the settings record into the panel's controls.
#include "panel/panel.h"

#include "resources/cwbench_resource.h"
#include "settings/settings.h"
#include "workers/workers.h"

#include <initializer_list>

namespace cwbench {

namespace {

constexpr unsigned char kPaddleDogOff = 0x80;  // modereg: "PaddleDog" checked when clear
constexpr unsigned char kUltimDit = 0x40;      // pincfg with keyer mode 2
constexpr unsigned char kUltimDah = 0x80;

// The keyer mode combo's entry for the record's mode bits.
int keyerModeEntry(const MXSTATE& s) {
    switch ((s.modereg & (KEYERMODE | NIAMBIC)) >> 4) {
    case 1: return 0;  // Iambic A
    case 0: return 1;  // Iambic B
    case 2:
        if (s.pincfg & kUltimDah) return 3;
        if (s.pincfg & kUltimDit) return 4;
        return 2;  // Ultimatic
    default: return 5;  // VibroBug
    }
}

void pinButtons(DialogControls& d, const MXSTATE& s) {
    if (g_isMX2.load()) {
        d.setCheck(IDP5KEY, (s.pincfg & KEYPORT1) != 0);
        d.setCheck(IDP5PTT, (s.pincfg & USEPTT) != 0);
        d.setCheck(IDP5TONE, (s.pincfg & USESTONE) != 0);
        return;
    }
    // MX1: the first of Key, PTT, Sidetone whose bit is set is the one checked.
    int chosen = (s.pincfg & KEYPORT1) ? IDP5KEY : (s.pincfg & USEPTT) ? IDP5PTT : (s.pincfg & USESTONE) ? IDP5TONE : 0;
    if (chosen == 0) return;
    for (int id : {IDP5KEY, IDP5PTT, IDP5TONE}) d.setCheck(id, id == chosen);
}

}  // namespace

int initState(DialogControls& d) {
    const MXSTATE& s = mxf.mxState;
    d.setCheck(SWAPBTN, (s.modereg & PDL_SWAP) != 0);
    d.setCheck(AUTOSPACE, (s.modereg & ASPACE) != 0);
    d.setCheck(SERECHO, (s.modereg & SER_ECHO) != 0);
    d.setCheck(PDLECHO, (s.modereg & PDL_ECHO) != 0);
    d.setCheck(CTSPACE, (s.modereg & CT_SPACE) != 0);
    d.setCheck(PDLDOG, (s.modereg & kPaddleDogOff) == 0);

    d.setUnsigned(IDWEIGHT, s.weight);
    d.setUnsigned(IDLEADIN, s.leadin);
    d.setUnsigned(IDTAIL, s.tail);
    d.setUnsigned(ID1STEXT, s.xtnd);
    d.setUnsigned(IDKEYCOMP, s.kcomp);
    d.setUnsigned(IDFARNS, s.farns);
    d.setUnsigned(IDSAMPADJ, s.sampadj);
    d.setUnsigned(IDRATIO, s.ditdahratio);
    d.setUnsigned(IDWPMBOT, s.minwpm);
    d.setUnsigned(IDWPMTOP, static_cast<unsigned>(s.minwpm) + s.wpmrange);

    d.setScrollRange(IDWPMSB, 0, s.wpmrange, false);
    d.setScrollPos(IDWPMSB, s.wpmrange - s.speed + s.minwpm, true);

    pinButtons(d, s);
    d.setComboSelection(IDC_MODECOMBO, keyerModeEntry(s));
    d.setComboSelection(IDC_HANGCOMBO, (s.pincfg & (HANG0 | HANG1)) >> 4);

    if (s.speed == 0) {
        potLock.store(1);
    } else {
        potLock.store(0);
        d.setUnsigned(IDWPM, s.speed);
    }
    d.setCheck(IDPOTLOCK, potLock.load() != 0);
    d.enable(IDC_HANGCOMBO, s.tail == 0);
    d.setCheck(ID_PDLTONE, (s.stconst & PDLSTONE) != 0);
    return 1;
}

}  // namespace cwbench
