#include "diagnosis/causes.h"

#include "base/lang_strings.h"
#include "base/printf_format.h"
#include "resources/portiq_resource.h"

namespace portiq {
namespace {

// The text of each cause, where Windows' and a Unix system's remedies differ both. A
// text takes the subject, then the detail twice ("... group %s ... usermod -aG %s ...").
struct CauseText {
    Cause cause;
    unsigned windowsText;
    unsigned unixText;
};

constexpr CauseText kCauseTexts[] = {
    {Cause::kNoDriver, IDS_DIAG_NO_DRIVER, IDS_DIAG_NO_DRIVER_UNIX},
    {Cause::kDisabled, IDS_DIAG_DISABLED, IDS_DIAG_NOT_AUTHORIZED_UNIX},
    {Cause::kFailedStart, IDS_DIAG_FAILED_START, IDS_DIAG_NO_SOUND_CARD_UNIX},
    {Cause::kOtherProblem, IDS_DIAG_OTHER_PROBLEM, IDS_DIAG_OTHER_PROBLEM},
    {Cause::kPortFailure, IDS_DIAG_PORT_FAILURE, IDS_DIAG_PORT_FAILURE},
    {Cause::kHeldByProgram, IDS_DIAG_HELD_UNIX, IDS_DIAG_HELD_UNIX},
    {Cause::kOtherDriver, IDS_DIAG_OTHER_DRIVER_UNIX, IDS_DIAG_OTHER_DRIVER_UNIX},
    {Cause::kNoAccess, IDS_DIAG_NO_ACCESS_UNIX, IDS_DIAG_NO_ACCESS_UNIX},
    {Cause::kModemManager, IDS_DIAG_MODEM_MANAGER_UNIX, IDS_DIAG_MODEM_MANAGER_UNIX},
};

}  // namespace

std::string FindingLine(const Finding& finding, bool unixRemedies) {
    for (const CauseText& text : kCauseTexts) {
        if (text.cause != finding.cause) continue;
        const std::string format = LoadLangString(unixRemedies ? text.unixText : text.windowsText);
        return "!\t" + FormatPrintf(format.c_str(), finding.subject, finding.detail, finding.detail) + "\n";
    }
    return {};
}

}  // namespace portiq
