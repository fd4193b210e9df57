// The message catalogue: Simplified Chinese for the English texts velkctl,
// velkscope and velkpanel print, keyed as gettext keys them. The code writes the
// English text, or its printf format, and marks it with N_(); one catalogue
// (common/ChineseCatalogue.cpp) holds the Chinese of each key, with the same
// conversions in the same order, or numbered (%2$s) where Chinese wants
// another order. Pure logic.
//
// A printed message is often made of several: "velkctl: post: motor.speed:
// 3000.25 rpm is above its max 3000 rpm" is a prefix, a command, a name and
// one key. Chinese() finds a key for the whole text, else splits it at its
// first ": " or "; " and translates both sides; a piece that reads as a name,
// a number or a file (fewer than two words in it) is left as it is, and so
// is a piece no key matches. A key's %s takes any text without ": " in it,
// itself translated when a key matches it; its number conversions take
// numbers.
#pragma once
#include <stddef.h>
#include <string>
#include <vector>

// gettext's marker: the English is the key, and what the code uses.
#define N_(english) english

struct CatalogueEntry {
    const char* english;   // the key: a text or a printf format
    const char* chinese;   // UTF-8
};

// The catalogue, sorted by key (common/ChineseCatalogue.cpp).
extern const CatalogueEntry kChineseCatalogue[];
extern const size_t kChineseCatalogueSize;

// The Chinese of english, as far as the catalogue has it (english itself
// when it has none of it). literal converts the catalogue's UTF-8 into the
// text's own encoding (the system code page, say) before it goes in, so
// that the parts taken from english stay as they were; null: UTF-8.
typedef std::string (*LiteralEncoder)(const std::string& utf8);
std::string Chinese(const std::string& english, LiteralEncoder literal = nullptr);

// For the catalogue's test: the pieces of english (a message or a printf
// format) that need a translation and have none (none when the catalogue
// covers it), and the entries that cover the rest.
void CatalogueCoverage(const std::string& english, std::vector<std::string>* missing,
                       std::vector<const CatalogueEntry*>* used);

// What a program prints in: Chinese and then English, or English only.
enum Language { kEnglishOnly, kChineseFirst };

// VELK_LANG (velkLang, null when not set) "zh" or "en" decides; else the
// system code page: 936 (Simplified Chinese) is Chinese first.
Language LanguageFor(const char* velkLang, unsigned codePage);

// A message in language: english alone, or its Chinese, between, and
// english (english alone when the catalogue has none of it).
std::string InLanguage(const std::string& english, Language language, const char* between,
                       LiteralEncoder literal = nullptr);
