// The string table as PortIQ really carries it (compiled from its .rc), looked up in
// the user's language with the documented fallback, and converted to the code page.
#include <gtest/gtest.h>

#include "base/lang_strings.h"
#include "platform/synthetic/code_pages.h"
#include "resources/portiq_resource.h"
#include "test_support.h"

namespace portiq {
namespace {

using synthetic::CodePageToUtf8;
using testing::PortIqTest;

class LangStrings : public PortIqTest {
protected:
    std::string Text(unsigned id) { return CodePageToUtf8(machine.system.codePage, LoadLangString(id)); }
    void UseLanguage(LANGID user, LANGID system) {
        machine.system.SetUserLanguage(user);
        machine.system.systemLanguage = system;
        Install();
    }
};

TEST_F(LangStrings, EveryTextInEachOfTheThreeLanguages) {
    UseLanguage(1033, 1033);
    EXPECT_EQ(Text(IDS_DEVICE_MANAGER_HINT), "\nGo to Device Manager to make\nchanges, if needed.");
    EXPECT_EQ(Text(IDS_NOT_FOUND), "Tavrilink device not found or drivers not installed.");
    EXPECT_EQ(Text(IDS_FOUND_DEVICE), "Found device #%i");
    EXPECT_EQ(Text(IDS_FTDI_PORTS_FOUND), "FTDI ports found:");

    UseLanguage(1049, 1033);
    EXPECT_EQ(machine.system.codePage, 1251u);
    EXPECT_EQ(Text(IDS_DEVICE_MANAGER_HINT), "\nПри необходимости делайте изменения\nв Диспетчере Устройств.");
    EXPECT_EQ(Text(IDS_NOT_FOUND), "Не подключен Tavrilink или не установлен драйвер.");
    EXPECT_EQ(Text(IDS_FOUND_DEVICE), "Найден интерфейс №%i");
    EXPECT_EQ(Text(IDS_FTDI_PORTS_FOUND), "Найдены FTDI порты:");
    // Windows-1251 bytes, as the message box receives them.
    EXPECT_EQ(LoadLangString(IDS_FTDI_PORTS_FOUND), "\xcd\xe0\xe9\xe4\xe5\xed\xfb FTDI \xef\xee\xf0\xf2\xfb:");

    UseLanguage(1058, 1033);
    EXPECT_EQ(Text(IDS_DEVICE_MANAGER_HINT), "\nПри необхідності робіть зміни\nу Диспетчері Пристроїв.");
    EXPECT_EQ(Text(IDS_NOT_FOUND), "Не підключений інтерфейс або не встановлений драйвер.");
    EXPECT_EQ(Text(IDS_FOUND_DEVICE), "Знайдено інтерфейс №%i");
    EXPECT_EQ(Text(IDS_FTDI_PORTS_FOUND), "Знайдено FTDI порти:");
}

TEST_F(LangStrings, ALanguageTheTableLacksFallsBackToTheSystemsThenToEnglish) {
    UseLanguage(1031, 1049);  // German user on a Russian system, whose code page is 1251
    machine.system.codePage = 1251;
    EXPECT_EQ(LoadLangString(IDS_NOT_FOUND), "\xcd\xe5 \xef\xee\xe4\xea\xeb\xfe\xf7\xe5\xed Tavrilink \xe8\xeb\xe8 \xed\xe5 "
                                             "\xf3\xf1\xf2\xe0\xed\xee\xe2\xeb\xe5\xed \xe4\xf0\xe0\xe9\xe2\xe5\xf0.");
    UseLanguage(1031, 1031);
    EXPECT_EQ(Text(IDS_NOT_FOUND), "Tavrilink device not found or drivers not installed.");
}

TEST_F(LangStrings, CyrillicLettersBecomeBlanksWhereTheCodePageLacksThem) {
    machine.system.SetUserLanguage(1049);
    machine.system.codePage = 1252;
    Install();
    EXPECT_EQ(LoadLangString(IDS_FTDI_PORTS_FOUND), "        FTDI      :");
    // Windows set to "Use Unicode UTF-8": no letter is lacking, and no stand-in allowed.
    machine.system.codePage = 65001;
    EXPECT_EQ(LoadLangString(IDS_FTDI_PORTS_FOUND), "Найдены FTDI порты:");
    EXPECT_EQ(LoadLangString(IDS_DEVICE_MANAGER_HINT), "\nПри необходимости делайте изменения\nв Диспетчере Устройств.");
}

TEST_F(LangStrings, AMissingEntryOrBlockGivesAnEmptyText) {
    UseLanguage(1049, 1033);
    EXPECT_EQ(LoadLangString(3), "");    // block 1 exists in Russian; entry 3 is empty there
    EXPECT_EQ(LoadLangString(100), "");  // no language has block 7
}

// A system whose string table is one block supplied by the test.
class OneBlockSystem : public synthetic::SyntheticSystem {
public:
    std::vector<unsigned char> block;
    bool FindStringBlock(unsigned, LANGID language, ResourceBytes& bytes) override {
        if (language != kLangEnglishUs) return false;
        bytes.data = block.data();
        bytes.size = block.size();
        return true;
    }
    void AddEntry(const std::u16string& text) {
        block.push_back(static_cast<unsigned char>(text.size() & 0xFF));
        block.push_back(static_cast<unsigned char>(text.size() >> 8));
        for (char16_t unit : text) {
            block.push_back(static_cast<unsigned char>(unit & 0xFF));
            block.push_back(static_cast<unsigned char>(unit >> 8));
        }
    }
};

TEST_F(PortIqTest, TextsOver999BytesAndTruncatedBlocksGiveEmptyStrings) {
    OneBlockSystem system;
    system.SetUserLanguage(1031);
    system.systemLanguage = 1031;
    InstallPlatform(Platform{&machine.tree, &system});
    system.AddEntry(std::u16string(999, u'a'));
    system.AddEntry(std::u16string(1000, u'b'));
    EXPECT_EQ(LoadLangString(0), std::string(999, 'a'));
    EXPECT_EQ(LoadLangString(1), "");
    EXPECT_EQ(LoadLangString(2), "");  // the block ends before entry 2
    system.block.resize(system.block.size() - 1);
    EXPECT_EQ(LoadLangString(1), "");  // entry 1 runs past the block's end
}

}  // namespace
}  // namespace portiq
