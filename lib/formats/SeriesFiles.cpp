#include "formats/SeriesFiles.h"

#include <ctype.h>

#include <algorithm>
#include <map>
#include <utility>

#include "common/Catalogue.h"
#include "common/Escapes.h"
#include "common/FormatText.h"
#include "formats/RecordParts.h"

namespace {

// Where a path's last piece starts (after its last '/' or '\').
size_t NameStart(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

bool SameLetter(char a, char b)
{
    return tolower(static_cast<unsigned char>(a)) == tolower(static_cast<unsigned char>(b));
}

// The folder's names with the folder before them.
bool PathsIn(const std::string& folder, const FolderView& view, std::vector<std::string>* paths, std::string* error)
{
    std::vector<std::string> names;
    std::string why;
    if (!view.Names(folder, &names, &why)) {
        *error = FormatText(N_("cannot list %s"), QuoteInput(folder.empty() ? "." : folder).c_str()) + ": " + why;
        return false;
    }
    for (const std::string& name : names)
        paths->push_back(folder + name);
    return true;
}

// The parts among paths, by series ("run", ".txt" -> its parts in order).
std::map<std::pair<std::string, std::string>, std::vector<std::string>> SeriesAmong(const std::vector<std::string>& paths)
{
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> found;
    for (const std::string& path : paths) {
        PartSeries series;
        unsigned number = 0;
        if (SeriesOfPart(path, &series, &number))
            found[std::make_pair(series.stem, series.extension)].push_back(path);
    }
    for (auto& one : found)
        one.second = PartsAmong(PartSeries{ one.first.first, one.first.second }, one.second);
    return found;
}

bool InFolder(const std::string& named, const FolderView& view, std::vector<std::string>* files, std::string* error)
{
    const char slash = named.find('\\') != std::string::npos ? '\\' : '/';
    const std::string folder = named.back() == '/' || named.back() == '\\' ? named : named + slash;
    std::vector<std::string> paths;
    if (!PathsIn(folder, view, &paths, error))
        return false;
    const auto series = SeriesAmong(paths);
    if (series.size() == 1) {
        *files = series.begin()->second;
        return true;
    }
    if (series.empty()) {
        *error = FormatText(N_("%s holds no recording in parts"), QuoteInput(named).c_str());
        return false;
    }
    *error = FormatText(N_("%s holds %u recordings in parts: name the first part of one"), QuoteInput(named).c_str(),
                        static_cast<unsigned>(series.size()));
    return false;
}

bool Matching(const std::string& named, const FolderView& view, std::vector<std::string>* files, std::string* error)
{
    const size_t start = NameStart(named);
    std::vector<std::string> paths;
    if (!PathsIn(named.substr(0, start), view, &paths, error))
        return false;
    const std::string pattern = named.substr(start);
    std::vector<std::string> matched;
    for (const std::string& path : paths) {
        if (MatchesWildcard(pattern, path.substr(start)) && view.KindOf(path) == FolderView::kFile)
            matched.push_back(path);
    }
    if (matched.empty()) {
        *error = FormatText(N_("no file matches %s"), QuoteInput(named).c_str());
        return false;
    }
    const auto series = SeriesAmong(matched);
    if (series.size() == 1 && series.begin()->second.size() == matched.size()) {
        *files = series.begin()->second;
    } else {
        std::sort(matched.begin(), matched.end());
        *files = matched;
    }
    return true;
}

} // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name)
{
    // The last * seen and where in name it has got to: a bounded walk back.
    size_t p = 0, n = 0, star = std::string::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && SameLetter(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool FindRecordingFiles(const std::string& named, const FolderView& view, std::vector<std::string>* files,
                        std::string* error)
{
    files->clear();
    if (named.empty() || named == "-") {
        files->push_back(named);
        return true;
    }
    if (named.find_first_of("*?", NameStart(named)) != std::string::npos)
        return Matching(named, view, files, error);
    const FolderView::Kind kind = view.KindOf(named);
    if (kind == FolderView::kFolder)
        return InFolder(named, view, files, error);
    PartSeries series;
    unsigned number = 0;
    const bool isPart = kind == FolderView::kFile && SeriesOfPart(named, &series, &number);
    if (kind == FolderView::kMissing)
        series = SeriesOfFile(named);
    if (isPart || kind == FolderView::kMissing) {
        std::vector<std::string> paths;
        std::string ignored;
        if (PathsIn(named.substr(0, NameStart(named)), view, &paths, &ignored)) {
            for (const std::string& part : PartsAmong(series, paths)) {
                if (PartNumber(series, part) >= number)
                    files->push_back(part);
            }
        }
    }
    if (files->empty())
        files->push_back(named);   // the file itself; opening it says what is wrong
    return true;
}
