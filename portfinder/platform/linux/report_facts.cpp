#include "platform/linux/report_facts.h"

#include "platform/linux/linux_machine.h"
#include "platform/synthetic/code_pages.h"

namespace portiq::linuxsys {

std::map<std::string, std::string> LinksInPlace(SystemFiles& files, const std::string& devRoot,
                                                const std::map<std::string, std::string>& links) {
    std::map<std::string, std::string> inPlace;
    if (devRoot.empty()) return inPlace;
    for (const auto& [port, link] : links) {
        if (port.compare(0, 5, "/dev/") != 0) continue;
        // A link left from another box, or from rules written before a replug, leads elsewhere.
        const std::string target = files.RealPath(devRoot + "/" + link);
        if (!target.empty() && target == files.RealPath(devRoot + port.substr(4))) inPlace[port] = "/dev/" + link;
    }
    return inPlace;
}

std::map<int, AlsaCardFacts> AlsaCards(const LinuxSystem& system, const std::vector<CSbRecord>& sound,
                                       unsigned codePage) {
    std::map<std::string, AlsaCardFacts> byName;  // the names the platform gave the wave devices
    for (const SoundCard& card : system.cards) {
        for (const unsigned pcm : card.captureDevices) {
            byName.emplace(synthetic::Utf8ToCodePage(codePage, AlsaName(card, pcm)), AlsaCardFacts{card.id, card.number, pcm});
        }
    }
    std::map<int, AlsaCardFacts> cards;
    for (std::size_t i = 0; i < sound.size(); ++i) {
        const auto found = byName.find(sound[i].strName);
        if (found != byName.end()) cards.emplace(static_cast<int>(i), found->second);
    }
    return cards;
}

}  // namespace portiq::linuxsys
