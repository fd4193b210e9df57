// Lists of words: the keys a table of a TOML file may hold, and the
// messages that name them. Pure logic.
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
