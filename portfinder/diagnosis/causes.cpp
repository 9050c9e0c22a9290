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
    const char* keyword;
};

constexpr CauseText kCauseTexts[] = {
    {Cause::kNoDriver, IDS_DIAG_NO_DRIVER, IDS_DIAG_NO_DRIVER_UNIX, "no_driver"},
    {Cause::kDisabled, IDS_DIAG_DISABLED, IDS_DIAG_NOT_AUTHORIZED_UNIX, "disabled"},
    {Cause::kFailedStart, IDS_DIAG_FAILED_START, IDS_DIAG_NO_SOUND_CARD_UNIX, "failed_start"},
    {Cause::kOtherProblem, IDS_DIAG_OTHER_PROBLEM, IDS_DIAG_OTHER_PROBLEM, "other_problem"},
    {Cause::kPortFailure, IDS_DIAG_PORT_FAILURE, IDS_DIAG_PORT_FAILURE, "port_failure"},
    {Cause::kHeldByProgram, IDS_DIAG_HELD_UNIX, IDS_DIAG_HELD_UNIX, "held_by_program"},
    {Cause::kOtherDriver, IDS_DIAG_OTHER_DRIVER_UNIX, IDS_DIAG_OTHER_DRIVER_UNIX, "other_driver"},
    {Cause::kNoAccess, IDS_DIAG_NO_ACCESS_UNIX, IDS_DIAG_NO_ACCESS_UNIX, "no_access"},
    {Cause::kModemManager, IDS_DIAG_MODEM_MANAGER_UNIX, IDS_DIAG_MODEM_MANAGER_UNIX, "modem_manager"},
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

const char* CauseKeyword(Cause cause) {
    for (const CauseText& text : kCauseTexts) {
        if (text.cause == cause) return text.keyword;
    }
    return "unknown";
}

}  // namespace portiq
