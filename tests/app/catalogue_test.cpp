// The message catalogue as the host's LoadStringW serves it, by the user's locale.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "app/message_box.h"
#include "app/resource.h"
#include "platform/host/host_root.h"

namespace {

const UINT kIds[] = {103, 104, 105, 106, 107, 108, 110, 111, 113};

std::string Load(const char* locale, UINT id) {
    setenv("LC_ALL", locale, 1);
    WCHAR text[kTextCharacters] = {};
    const int n = LoadStringW(nullptr, id, text, kTextCharacters);
    unsetenv("LC_ALL");
    EXPECT_EQ(static_cast<size_t>(n), std::u16string(text).size());
    return Utf16ToUtf8(text);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(Catalogue, EveryIdInEveryLanguageWithTheTitleAsCaption) {
    for (const char* locale : {"en_US.UTF-8", "fr_FR.UTF-8", "ja_JP.UTF-8", "zh_CN.UTF-8"}) {
        EXPECT_EQ(Load(locale, IDS_TITLE), "Tollvane") << locale;
        for (UINT id : kIds) {
            EXPECT_FALSE(Load(locale, id).empty()) << locale << " " << id;
        }
    }
}

TEST(Catalogue, LanguageFollowsTheLocaleVariablesInOrder) {
    EXPECT_EQ(Load("fr_CA.UTF-8", 105), "Modèle non pris en charge.");
    EXPECT_EQ(Load("ja_JP", 106), "設定の変更に失敗しました。");
    EXPECT_EQ(Load("zh_SG.UTF-8", 106), "更改设置失败。");
    EXPECT_EQ(Load("zh_Hans", 106), "更改设置失败。");
    EXPECT_EQ(Load("zh_TW.UTF-8", 106), "Failed to change Chipset DST configuration.");
    EXPECT_EQ(Load("de_DE.UTF-8", 105), "This model is not supported.");
    EXPECT_EQ(Load("C", 105), "This model is not supported.");

    unsetenv("LC_ALL");
    setenv("LC_MESSAGES", "ja_JP.UTF-8", 1);
    setenv("LANG", "fr_FR.UTF-8", 1);
    WCHAR text[kTextCharacters] = {};
    LoadStringW(nullptr, 105, text, kTextCharacters);
    EXPECT_EQ(Utf16ToUtf8(text), "この機種はサポートしていません。");
    unsetenv("LC_MESSAGES");
    LoadStringW(nullptr, 105, text, kTextCharacters);
    EXPECT_EQ(Utf16ToUtf8(text), "Modèle non pris en charge.");
    unsetenv("LANG");
}

TEST(Catalogue, TextsToTheCharacter) {
    for (const char* locale : {"en_US", "fr_FR", "ja_JP", "zh_CN"}) {
        const std::string driver = Load(locale, 104);
        EXPECT_EQ(Count(driver, "\n\n"), 1u) << locale << ": two paragraphs";
        EXPECT_EQ(Count(driver, "\n"), 2u) << locale;
        EXPECT_EQ(Count(Load(locale, 111), "\n"), std::string(locale) == "ja_JP" ? 1u : 0u)
            << locale;
        EXPECT_EQ(Load(locale, 111).find('\r'), std::string::npos);
    }
    EXPECT_EQ(Load("fr_FR", 104),
              "Échec de l’accès à Quenwick.\n\nVérifiez la disponibilité de Quenwick.");
    EXPECT_EQ(Load("fr_FR", 108),
              "L’application est en cours d’exécution par un autre utilisateur.");
    EXPECT_EQ(Load("fr_FR", 106),
              "Erreur lors de l'application de la fonction de gestion de l'heure d'été (DST).");
    EXPECT_EQ(Load("fr_FR", 111),
              "Souhaitez-vous désactiver la fonction de gestion de l'heure d'été (DST) ?");
    EXPECT_EQ(Load("en_US", 107),
              "This application program does not work properly under the current version of "
              "Windows.");
    EXPECT_EQ(Load("zh_CN", 111), "同意执行Tollvane吗？");
}

TEST(Catalogue, ALongTextIsCutToTheBuffer) {
    WCHAR text[8];
    EXPECT_EQ(LoadStringW(nullptr, 105, text, 8), 7);
    EXPECT_EQ(Utf16ToUtf8(text), "This mo");
    EXPECT_EQ(LoadStringW(nullptr, 999, text, 8), 0);
    EXPECT_EQ(text[0], 0);
}

}  // namespace
