#include "common/ClosestWord.h"

#include <ctype.h>

namespace {

char Lower(char c)
{
    return static_cast<char>(tolower(static_cast<unsigned char>(c)));
}

bool StartsWith(const std::string& text, const std::string& start)
{
    if (start.size() > text.size())
        return false;
    for (size_t i = 0; i < start.size(); ++i) {
        if (Lower(text[i]) != Lower(start[i]))
            return false;
    }
    return true;
}

} // namespace

size_t EditDistance(const std::string& a, const std::string& b)
{
    // Three rows of the table: the swap looks two rows back.
    const size_t width = b.size() + 1;
    std::vector<size_t> older(width), previous(width), current(width);
    for (size_t j = 0; j < width; ++j)
        previous[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (size_t j = 1; j < width; ++j) {
            size_t cost = Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1;
            size_t best = previous[j - 1] + cost;
            if (previous[j] + 1 < best)
                best = previous[j] + 1;
            if (current[j - 1] + 1 < best)
                best = current[j - 1] + 1;
            if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) && Lower(a[i - 2]) == Lower(b[j - 1]) &&
                older[j - 2] + 1 < best)
                best = older[j - 2] + 1;
            current[j] = best;
        }
        older.swap(previous);
        previous.swap(current);
    }
    return previous[b.size()];
}

std::string ClosestWord(const std::string& word, const std::vector<std::string>& candidates)
{
    // Option dashes count as letters of neither word.
    size_t dashes = 0;
    while (dashes < word.size() && word[dashes] == '-')
        ++dashes;
    const size_t letters = word.size() - dashes;
    const size_t nearEnough = letters / 3 > 1 ? letters / 3 : 1;
    std::string closest;
    size_t closestDistance = nearEnough + 1;
    for (const std::string& candidate : candidates) {
        size_t distance = EditDistance(word, candidate);
        if (distance < closestDistance) {
            closest = candidate;
            closestDistance = distance;
        }
    }
    if (!closest.empty() || letters < 2)
        return closest;
    std::string started, tail;
    bool tails = false;
    for (const std::string& candidate : candidates) {
        if (StartsWith(candidate, word)) {
            if (!started.empty())
                return std::string();   // "s" or "se": more than one is meant
            started = candidate;
        }
        // A dotted name's last parts: "status" for "pump.status".
        const size_t size = word.size();
        if (candidate.size() > size && candidate[candidate.size() - size - 1] == '.' &&
            EditDistance(candidate.substr(candidate.size() - size), word) == 0) {
            tails = !tail.empty();
            tail = candidate;
        }
    }
    if (!started.empty())
        return started;
    return tails ? std::string() : tail;
}
