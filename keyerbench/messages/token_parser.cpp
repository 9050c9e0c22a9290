#include "messages/token_parser.h"

#include "platform/platform.h"

namespace cwbench {

std::atomic<int> poState{PO_CHAR};
std::atomic<unsigned char> value{0};

namespace {

void tokenError(const char* text) { platform().messageBox(text, "Error", kMbIconExclamation); }

unsigned char upper(unsigned char ch) { return (ch >= 'a' && ch <= 'z') ? ch - 'a' + 'A' : ch; }

}  // namespace

void processMsg(unsigned char ch, unsigned char* p1, unsigned char* p2) {
    *p1 = 0;
    *p2 = 0;
    switch (poState.load()) {
    case PO_CHAR:
        if (ch == '[')
            poState = PO_BEGTOKEN;
        else
            *p1 = ch;
        break;
    case PO_BEGTOKEN:
        switch (upper(ch)) {
        case 'P':
            *p1 = BUFPTT_CMD;
            *p2 = '1';
            poState = PO_ENDTOKEN;
            break;
        case 'N':
            *p1 = BUFPTT_CMD;
            *p2 = '0';
            poState = PO_ENDTOKEN;
            break;
        case 'S':
            *p1 = BUFSPEED_CMD;
            poState = PO_VALUEH;
            break;
        case 'K':
            *p1 = BUFKEY_CMD;
            poState = PO_VALUEH;
            break;
        case 'W':
            *p1 = WAIT_CMD;
            poState = PO_VALUEH;
            break;
        case 'X':
            *p1 = CANCELSPD_CMD;
            poState = PO_ENDTOKEN;
            break;
        case 'M':
            *p1 = MERGE_CMD;
            poState = PO_ENDTOKEN;
            break;
        default:
            // Back to plain text: staying here would raise one box per following
            // character until a command letter happened to come along.
            poState = PO_CHAR;
            tokenError("Bad Buf Msg Cmd");
            break;
        }
        break;
    case PO_VALUEH:
        value = static_cast<unsigned char>((ch & 0x0F) * 10);
        poState = PO_VALUEL;
        break;
    case PO_VALUEL:
        value = static_cast<unsigned char>(value.load() + (ch & 0x0F));
        if (value.load() != 0)
            *p1 = value.load();
        else
            *p2 = '0';
        poState = PO_ENDTOKEN;
        break;
    case PO_ENDTOKEN:
    default:
        poState = PO_CHAR;
        if (ch != ']') tokenError("Message Token Mismatch");
        break;
    }
}

}  // namespace cwbench
