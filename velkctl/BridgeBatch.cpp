#include "velkctl/BridgeBatch.h"

#include "common/Catalogue.h"

namespace {

const char kBatchHead[] = "{\"batch\":[";
const char kBatchTail[] = "]}";

// The top-level elements of a JSON array already checked as JSON (a nested
// member's text), as written; blanks around them dropped.
std::vector<std::string> SplitCheckedArray(const std::string& array)
{
    std::vector<std::string> elements;
    size_t depth = 0, start = 1;
    bool inString = false, escaped = false;
    for (size_t i = 0; i < array.size(); ++i) {
        char c = array[i];
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if ((c == ',' && depth == 1) || ((c == ']' || c == '}') && --depth == 0)) {
            size_t first = array.find_first_not_of(" \t\r\n", start);
            size_t last = array.find_last_not_of(" \t\r\n", i - 1);
            if (first != std::string::npos && first < i && last >= first)
                elements.push_back(array.substr(first, last - first + 1));
            start = i + 1;
        }
    }
    return elements;
}

} // namespace

bool BridgeBatch::Fits(const std::string& line) const
{
    return count_ == 0 || (count_ < maxLines_ && joined_.size() + 1 + line.size() <= kMaxBatchBytes);
}

void BridgeBatch::Add(const std::string& line)
{
    if (count_ > 0)
        joined_ += ',';
    joined_ += line;
    ++count_;
}

std::string BridgeBatch::Take()
{
    std::string line;
    if (count_ == 1)
        line.swap(joined_);
    else if (count_ > 1)
        line = kBatchHead + joined_ + kBatchTail;
    joined_.clear();
    count_ = 0;
    return line;
}

bool BatchElements(const std::vector<JsonMember>& members, std::vector<std::string>* lines, std::string* error)
{
    lines->clear();
    const JsonMember* batch = FindJsonMember(members, "batch");
    if (batch == NULL)
        return false;
    if (batch->type == kJsonNested && !batch->text.empty() && batch->text[0] == '[')
        *lines = SplitCheckedArray(batch->text);
    if (lines->empty())
        *error = N_("\"batch\" must be an array of one or more bridge lines");
    return true;
}
