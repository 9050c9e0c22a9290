#include "report/json_report.h"

#include <cstddef>
#include <vector>

#include "base/report_state.h"
#include "devtree/box_models.h"
#include "devtree/device_records.h"
#include "devtree/device_tree_walk.h"
#include "diagnosis/causes.h"
#include "diagnosis/diagnosis.h"
#include "platform/platform.h"
#include "radios/radio_blocks.h"

namespace portiq {
namespace {

using json = nlohmann::ordered_json;

constexpr int kFtdiVendor = 0x0403;

class Builder {
public:
    explicit Builder(const JsonReportPlatform& platform) : p_(platform) {}

    json Report() const {
        json boxes = json::array(), radios = json::array(), ftdi = json::array();
        // The boxes in the report's order, then those the walk gave no block (the
        // diagnosis says what keeps them).
        std::vector<bool> shown(g_usbDevices.size(), false);
        for (const BoxBlock& block : g_boxBlocks) {
            const int record = BoxRecord(block.strDriverKey);
            if (record >= 0) shown[record] = true;
            boxes.push_back(Box(block.strName, record, &block));
        }
        for (std::size_t r = 0; r < g_usbDevices.size(); ++r) {
            if (!shown[r] && !ModelWord(g_usbDevices[r].strProduct).empty()) {
                boxes.push_back(Box(g_usbDevices[r].strProduct, static_cast<int>(r), nullptr));
            }
        }
        for (const RadioBlock& radio : g_radioBlocks) radios.push_back(Radio(radio));
        for (std::size_t at = 0; at < g_strFtdiPorts.size();) {
            const std::size_t comma = g_strFtdiPorts.find(", ", at);
            ftdi.push_back(Text(g_strFtdiPorts.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
            at = comma == std::string::npos ? g_strFtdiPorts.size() : comma + 2;
        }
        return json{{"format", kJsonReportFormat}, {"boxes", boxes}, {"radios", radios}, {"ftdi_ports", ftdi}};
    }

private:
    json Text(const std::string& ansi) const { return p_.toUtf8 ? p_.toUtf8(ansi) : ansi; }
    json TextOrNull(const std::string& ansi) const { return ansi.empty() ? json() : Text(ansi); }

    static const UsbDeviceRecord* Record(int r) {
        return r >= 0 && static_cast<std::size_t>(r) < g_usbDevices.size() ? &g_usbDevices[r] : nullptr;
    }

    // The box record a block's header names, by the driver key both carry.
    static int BoxRecord(const std::string& driverKey) {
        if (driverKey.empty()) return -1;
        for (std::size_t r = 0; r < g_usbDevices.size(); ++r) {
            const UsbDeviceRecord& record = g_usbDevices[r];
            if (record.strDriverKey == driverKey && !ModelWord(record.strProduct).empty()) return static_cast<int>(r);
        }
        return -1;
    }

    json Location(const UsbDeviceRecord* record) const {
        if (!record) return nullptr;
        return {{"host_controller", record->nHostController},
                {"port_path", Text(record->strPortPath)},
                {"sysfs_name", p_.sysfsNames ? TextOrNull(record->strDriverKey) : json()}};
    }

    json Sound(int index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= g_soundDevices.size()) return nullptr;
        json sound = {{"name", Text(g_soundDevices[index].strName)}, {"card_id", nullptr}, {"card_number", nullptr},
                      {"hw", nullptr}};
        const auto card = p_.alsaCards.find(index);
        if (card != p_.alsaCards.end()) {
            const AlsaCardFacts& alsa = card->second;
            sound["card_id"] = alsa.id;
            sound["card_number"] = alsa.number;
            sound["hw"] = "hw:CARD=" + alsa.id + (alsa.device ? ",DEV=" + std::to_string(alsa.device) : "");
        }
        return sound;
    }

    json Port(const std::string& name, const json& role, int interface, bool ftdi) const {
        const auto link = p_.stableLinks.find(name);
        const bool device = name.compare(0, 5, "/dev/") == 0;
        return {{"name", TextOrNull(name)},
                {"role", role},
                {"interface", interface >= 0 ? json(interface) : json()},
                {"channel", ftdi && interface >= 0 && interface < 26 ? json(std::string(1, char('A' + interface))) : json()},
                {"device_path", device ? Text(name) : json()},
                {"stable_link", link != p_.stableLinks.end() ? Text(link->second) : json()}};
    }

    // A box's port line: its caption is one of its model's two ("\tTavrilink Nova CAT
    // port\n" is channel A's), and the role is the word between the model and "port".
    json BoxPort(const BoxPortLine& line) const {
        int interface = -1;
        for (const ModelRow& row : g_szModelNames) {
            for (const char* caption : {row.captionA, row.captionB}) {
                if (caption && "\t" + line.strCaption + "\n" == caption) interface = caption == row.captionA ? 0 : 1;
            }
            if (interface >= 0) break;
        }
        const std::string& caption = line.strCaption;
        const std::size_t model = caption.find(' ');
        const std::size_t start = model == std::string::npos ? model : caption.find(' ', model + 1);
        const std::size_t end = caption.rfind(" port");
        const bool parsed = start != std::string::npos && end != std::string::npos && end > start + 1;
        return Port(line.strPort, parsed ? Text(caption.substr(start + 1, end - start - 1)) : json(), interface, true);
    }

    json Findings(const std::vector<Finding>& findings) const {
        json all = json::array();
        const bool unix = CurrentPlatform().unixDevices != nullptr;
        for (const Finding& finding : findings) {
            std::string line = FindingLine(finding, unix);
            if (line.compare(0, 2, "!\t") == 0) line.erase(0, 2);
            if (!line.empty() && line.back() == '\n') line.pop_back();
            all.push_back({{"cause", CauseKeyword(finding.cause)},
                           {"subject", Text(finding.subject)},
                           {"detail", TextOrNull(finding.detail)},
                           {"text", Text(line)}});
        }
        return all;
    }

    json Box(const std::string& name, int r, const BoxBlock* block) const {
        const UsbDeviceRecord* record = Record(r);
        json ports = json::array();
        if (block) {
            for (const BoxPortLine& line : block->ports) ports.push_back(BoxPort(line));
        }
        static const std::vector<Finding> kNone;
        const bool diagnosed = r >= 0 && static_cast<std::size_t>(r) < g_boxFindings.size();
        return {{"model", Text(name)},
                {"number", block ? json(block->nNumber) : json()},
                {"location", Location(record)},
                {"serial", record ? TextOrNull(record->strSerial) : json()},
                {"ports", ports},
                {"sound", Sound(block ? block->nSoundDevice : -1)},
                {"findings", Findings(diagnosed ? g_boxFindings[r] : kNone)}};
    }

    json Radio(const RadioBlock& radio) const {
        const UsbDeviceRecord* record = Record(radio.nRecord);
        const bool ftdi = record && record->nVendorId == kFtdiVendor;
        json ports = json::array();
        for (const RadioPort& port : radio.ports) {
            ports.push_back(Port(port.strPort, port.strRole.empty() ? json() : json(port.strRole), port.nInterface, ftdi));
        }
        return {{"name", TextOrNull(radio.strName)},
                {"kind", radio.strName.empty() ? "unnamed" : "known"},
                {"location", Location(record)},
                {"serial", record ? TextOrNull(record->strSerial) : json()},
                {"ports", ports},
                {"sound", Sound(radio.nSoundDevice)},
                {"findings", Findings(radio.findings)}};
    }

    const JsonReportPlatform& p_;
};

}  // namespace

nlohmann::ordered_json BuildJsonReport(const JsonReportPlatform& platform) { return Builder(platform).Report(); }

std::string JsonReportText(const nlohmann::ordered_json& report) {
    return report.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace portiq
