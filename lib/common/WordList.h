// Lists of words: the keys a table of a TOML file may hold, the fields a
// request may hold, and the messages that name them. Pure logic.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

typedef std::vector<std::string> Words;

inline Words JoinWords(Words a, const Words& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The words of text, split at spaces (any number of them).
inline Words SplitWords(const std::string& text)
{
    Words words;
    size_t at = 0;
    while (at < text.size()) {
        const size_t start = text.find_first_not_of(' ', at);
        if (start == std::string::npos)
            break;
        const size_t end = text.find(' ', start);
        words.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        at = end == std::string::npos ? text.size() : end;
    }
    return words;
}

inline bool ContainsWord(const Words& words, const std::string& word)
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

// "a, b, c"
inline std::string ListWords(const Words& words)
{
    std::string list;
    for (const std::string& word : words)
        list += (list.empty() ? "" : ", ") + word;
    return list;
}
