// The message catalogue: every text the code marks (N_, PrintMessage,
// CountOf's nouns, the bus library's result texts) has its Chinese, each
// Chinese fits its key, and printed messages made of several keys come out
// whole in Chinese. Pure logic; reads the sources from CORVANE_SOURCE_DIR.
#include <dirent.h>
#include <string.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "common/Catalogue.h"

namespace {

// Texts the code prints that come from elsewhere: CLI11's parse errors and
// group titles, and the C runtime's strerror.
const char* const kOutsideKeys[] = {
    "Options",
    "Positionals",
    "%s is required",
    "%s required %s missing",
    "Could not convert: %s = %s",
    "File exists",
    "Invalid argument",
    "No space left on device",
    "No such file or directory",
    "Permission denied",
    "The following argument was not expected: %s",
    "The following arguments were not expected: %s",
};

std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

void ListSources(const std::string& folder, std::vector<std::string>* files)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "/" + name;
        if (entry->d_type == DT_DIR)
            ListSources(path, files);
        else if (name.size() > 4 && (name.compare(name.size() - 4, 4, ".cpp") == 0 ||
                                     name.compare(name.size() - 2, 2, ".h") == 0))
            files->push_back(path);
    }
    closedir(dir);
}

// C string literals from at on, side by side ("a" "b", "%" PRIu64), as one
// text.
bool ReadLiterals(const std::string& source, size_t at, std::string* text)
{
    static const std::map<std::string, std::string> kFormatMacros = {
        { "PRIu64", "llu" }, { "PRId64", "lld" }, { "PRIx64", "llx" }, { "PRIu32", "u" }, { "PRIx32", "x" },
    };
    bool any = false;
    text->clear();
    while (true) {
        while (at < source.size() && isspace(static_cast<unsigned char>(source[at])))
            ++at;
        bool macro = false;
        for (const auto& each : kFormatMacros) {
            if (any && source.compare(at, each.first.size(), each.first) == 0) {
                *text += each.second;
                at += each.first.size();
                macro = true;
            }
        }
        if (macro)
            continue;
        if (at >= source.size() || source[at] != '"')
            return any;
        any = true;
        for (++at; at < source.size() && source[at] != '"'; ++at) {
            if (source[at] != '\\') {
                *text += source[at];
                continue;
            }
            const char escaped = source[++at];
            switch (escaped) {
            case 'n': *text += '\n'; break;
            case 't': *text += '\t'; break;
            case 'r': *text += '\r'; break;
            case 'x': *text += static_cast<char>(strtol(source.substr(at + 1, 2).c_str(), nullptr, 16)); at += 2; break;
            default: *text += escaped; break;
            }
        }
        ++at;
    }
}

// Every key the code uses, with where.
std::map<std::string, std::string> KeysInTheCode()
{
    std::vector<std::string> files;
    for (const char* folder : { "lib", "velkctl", "velkscope", "velkpanel" })
        ListSources(std::string(CORVANE_SOURCE_DIR) + "/" + folder, &files);
    std::map<std::string, std::string> keys;
    for (const std::string& path : files) {
        const std::string source = ReadAll(path);
        for (const char* marker : { "N_(", "PrintMessage(" }) {
            for (size_t at = source.find(marker); at != std::string::npos; at = source.find(marker, at + 1)) {
                std::string key;
                if (ReadLiterals(source, at + strlen(marker), &key))
                    keys.emplace(key, path);
            }
        }
        static const std::regex countOf("CountOf\\([^;]*?,\\s*\"([a-z ]+)\"\\)");
        for (std::sregex_iterator found(source.begin(), source.end(), countOf), end; found != end; ++found) {
            keys.emplace("%llu " + (*found)[1].str(), path);
            keys.emplace("%llu " + (*found)[1].str() + "s", path);
        }
    }
    // The bus library's result texts, which the programs print.
    const std::string results = ReadAll(std::string(CORVANE_SOURCE_DIR) + "/velk/VelkResultText.cpp");
    for (size_t at = results.find("return "); at != std::string::npos; at = results.find("return ", at + 1)) {
        std::string key;
        if (ReadLiterals(results, at + 7, &key))
            keys.emplace(key, "velk/VelkResultText.cpp");
    }
    return keys;
}

// A format's conversions, as their letters in order ("s", "d").
std::vector<std::string> Conversions(const std::string& format, bool numbered)
{
    static const std::regex conversion("%(?:([0-9]+)\\$)?[-+ #0]*[0-9]*(?:\\.[0-9]+)?(?:hh|h|ll|l|z|j|t|L)?([diouxXeEfgGcs%])");
    std::map<int, std::string> byPosition;
    int next = 0;
    for (std::sregex_iterator found(format.begin(), format.end(), conversion), end; found != end; ++found) {
        const std::string letter = (*found)[2].str();
        if (letter == "%")
            continue;
        const int position = numbered && (*found)[1].matched ? std::stoi((*found)[1].str()) - 1 : next++;
        byPosition[position] = (*found).str().substr((*found)[1].matched ? (*found)[1].length() + 2 : 1);
    }
    std::vector<std::string> ordered;
    for (const auto& each : byPosition)
        ordered.push_back(each.second);
    return ordered;
}

TEST(Catalogue, EveryTextTheCodeMarksHasItsChinese)
{
    const std::map<std::string, std::string> keys = KeysInTheCode();
    ASSERT_GT(keys.size(), 100u);   // the sources were found
    std::set<std::string> reported;
    for (const auto& key : keys) {
        std::vector<std::string> missing;
        std::vector<const CatalogueEntry*> used;
        CatalogueCoverage(key.first, &missing, &used);
        for (const std::string& piece : missing) {
            if (reported.insert(piece).second)
                ADD_FAILURE() << key.second << ": no Chinese for \"" << piece << "\"";
        }
    }
}

TEST(Catalogue, EachEntryIsSortedFitsItsKeyAndIsUsed)
{
    std::set<const CatalogueEntry*> covering;
    for (const auto& key : KeysInTheCode()) {
        std::vector<std::string> missing;
        std::vector<const CatalogueEntry*> used;
        CatalogueCoverage(key.first, &missing, &used);
        covering.insert(used.begin(), used.end());
    }
    std::set<std::string> outside(std::begin(kOutsideKeys), std::end(kOutsideKeys));
    for (size_t i = 0; i < kChineseCatalogueSize; ++i) {
        const CatalogueEntry& entry = kChineseCatalogue[i];
        SCOPED_TRACE(entry.english);
        if (i > 0) {
            EXPECT_LT(strcmp(kChineseCatalogue[i - 1].english, entry.english), 0) << "sorted, each key once";
        }
        EXPECT_EQ(Conversions(entry.english, false), Conversions(entry.chinese, true));
        EXPECT_NE(std::string(entry.english), entry.chinese);
        EXPECT_TRUE(covering.count(&entry) != 0 || outside.count(entry.english) != 0) << "used by no code";
    }
}

TEST(Catalogue, PrintedMessagesComeOutInChineseKeyByKey)
{
    struct Case { const char* english; const char* chinese; };
    const Case cases[] = {
        // A prefix, a command and a name stay; the key's arguments go in.
        { "velkctl: post: motor.speed: 3000.25 rpm is above its max 3000 rpm",
          "velkctl: post: motor.speed: 3000.25 rpm 高于其上限 3000 rpm" },
        { "velkctl: unknown command 'psot'; did you mean 'post'?",
          "velkctl: 未知命令 'psot'; 是否想用 'post'？" },
        // A key's text argument is itself translated.
        { "velkctl: exported 3 messages (1 filtered out) to standard output",
          "velkctl: 已导出 3 条消息（1 条被过滤掉） 到 标准输出" },
        { "rig.toml:4:9: scale must not be 0", "rig.toml:4:9: scale 不得为 0" },
        // The bridge's line reports and counts: a reason that is a message of
        // its own comes last, and the bus's counters are one key.
        { "velkctl: bridge me: input line 7: its topic cannot be read (expected the lines of mosquitto_sub -F %j): "
          "not JSON: bad number: digits must follow the decimal point at column 7",
          "velkctl: 桥 me: 输入第 7 行: 无法读出其主题（应为 mosquitto_sub -F %j 打印的行）: "
          "不是 JSON: 数字有误: 小数点后必须有数字（第 7 列）" },
        { "velkctl: bridge me: out 3, unwritten 0, filtered 0; in 14 lines (12 messages): posted 4, own 1, duplicates 0, refused 0, "
          "off-topic 0, bad 7, expired 0, failed 0; lost 0, late 0; bus: posted +4, delivered +4, dropped +2 (LOSING), "
          "expired +0, abandoned ?",
          "velkctl: 桥 me: 发出 3，未写出 0，过滤 0；收到 14 行（12 条消息）：已发送 4，自己的 1，重复 0，拒绝 0，非本主题 0，有误 7，"
          "已过期 0，失败 0；丢失 0，迟到 0；总线：已发送 +4，已投递 +4，已丢弃 +2（正在丢失），已过期 +0，已放弃 ?" },
        // A reason with its column: every piece of it.
        { "velkctl: bad --trigger '20000801 gx 1500': at column 10: unknown operator 'gx' (expected one of eq ne)",
          "velkctl: 无效的 --trigger '20000801 gx 1500': 第 10 列: 未知运算符 'gx'（应为 eq ne 之一）" },
        // Nothing known: as it was.
        { "motor.speed", "motor.speed" },
        { "", "" },
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.chinese, Chinese(test.english)) << test.english;
    EXPECT_EQ("velkctl: post: motor.speed: 3000.25 rpm 高于其上限 3000 rpm\n"
              "velkctl: post: motor.speed: 3000.25 rpm is above its max 3000 rpm",
              InLanguage("velkctl: post: motor.speed: 3000.25 rpm is above its max 3000 rpm", kChineseFirst, "\n"));
    EXPECT_EQ("motor.speed", InLanguage("motor.speed", kChineseFirst, "\n"));
    EXPECT_EQ("velkctl: cannot write to standard output",
              InLanguage("velkctl: cannot write to standard output", kEnglishOnly, "\n"));
    // The encoder turns only the catalogue's text; the arguments stay.
    EXPECT_EQ("velkctl: <\xe6\x97\xa0\xe6\xb3\x95\xe5\x86\x99\xe5\x85\xa5\xe6\xa0\x87\xe5\x87\x86\xe8\xbe\x93\xe5\x87\xba>",
              Chinese("velkctl: cannot write to standard output",
                      [](const std::string& utf8) { return "<" + utf8 + ">"; }));
}

TEST(Catalogue, VelkLangChoosesElseTheCodePage)
{
    EXPECT_EQ(kChineseFirst, LanguageFor("zh", 1252));
    EXPECT_EQ(kEnglishOnly, LanguageFor("en", 936));
    EXPECT_EQ(kChineseFirst, LanguageFor(nullptr, 936));
    EXPECT_EQ(kEnglishOnly, LanguageFor(nullptr, 1252));
    EXPECT_EQ(kChineseFirst, LanguageFor("", 936));      // set but empty: as not set
    EXPECT_EQ(kEnglishOnly, LanguageFor("ZH", 1252));    // only the two words count
}

} // namespace
